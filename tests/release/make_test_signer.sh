#!/usr/bin/env bash
# Makes a throwaway code-signing identity in DIR: an authority of its own (ca.pem), a
# codeSigning certificate it issued (signer.pem) with its key in signer.pfx, the pfx password in
# password.txt, and the certificate's SHA-256 fingerprint (64 upper-case hex digits) in
# signer.sha256. Valid for two days; nothing outside DIR trusts it.
# usage: make_test_signer.sh DIR
set -euo pipefail
dir=${1:?usage: make_test_signer.sh DIR}
mkdir -p "$dir"
cd "$dir"
rm -f ca.* signer.* password.txt

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tarnivex Test Authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tarnivex Test Signer" \
    -keyout signer.key -out signer.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=codeSigning" >signer.ext
openssl x509 -req -days 2 -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -extfile signer.ext -out signer.pem 2>/dev/null
# A password with a space: it must reach both openssl and osslsigncode whole.
echo "throwaway $RANDOM$RANDOM" >password.txt
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
    -passout file:password.txt -out signer.pfx
openssl x509 -in signer.pem -noout -fingerprint -sha256 | sed 's/.*=//; s/://g' >signer.sha256
rm -f ca.key ca.srl signer.key signer.csr signer.ext
