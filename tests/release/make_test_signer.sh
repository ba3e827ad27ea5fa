#!/usr/bin/env bash
# Makes a throwaway code-signing identity in DIR: an authority of its own (ca.pem), a
# codeSigning certificate it issued (signer.pem) with its key in signer.pfx, the pfx password in
# password.txt, and the certificate's SHA-256 fingerprint (64 upper-case hex digits) in
# signer.sha256. The signing certificate is valid for one day only, so that a check dated a few
# days on shows what a time-stamp is worth; the authority lives ten days. Also a time-stamping
# authority's certificate and key (tsa.pem, tsa.key) and its openssl configuration (tsa.cnf),
# for tsa_server.py. Nothing outside DIR trusts any of it.
# usage: make_test_signer.sh DIR
set -euo pipefail
dir=${1:?usage: make_test_signer.sh DIR}
mkdir -p "$dir"
cd "$dir"
rm -f ca.* signer.* tsa.* password.txt

openssl req -x509 -newkey rsa:2048 -nodes -days 10 -subj "/CN=Tarnivex Test Authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tarnivex Test Signer" \
    -keyout signer.key -out signer.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=codeSigning" >signer.ext
openssl x509 -req -days 1 -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -extfile signer.ext -out signer.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tarnivex Test Time Stamps" \
    -keyout tsa.key -out tsa.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=critical,timeStamping" >tsa.ext
openssl x509 -req -days 10 -in tsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -extfile tsa.ext -out tsa.pem 2>/dev/null
cat >tsa.cnf <<'CNF'
[tsa]
default_tsa = test_tsa
[test_tsa]
serial = ./tsa.serial
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
ess_cert_id_alg = sha256
accuracy = secs:1
CNF
echo 01 >tsa.serial
# A password with a space: it must reach both openssl and osslsigncode whole.
echo "throwaway $RANDOM$RANDOM" >password.txt
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
    -passout file:password.txt -out signer.pfx
openssl x509 -in signer.pem -noout -fingerprint -sha256 | sed 's/.*=//; s/://g' >signer.sha256
rm -f ca.key ca.srl signer.key signer.csr signer.ext tsa.csr tsa.ext
