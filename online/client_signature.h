// Whether a downloaded client may be started: its Authenticode signature must verify, and the
// certificate that signed it must be one of ours. Windows' verdict alone is not enough: it trusts
// every publisher with a certificate from any trusted authority (and some systems do not check
// the authority at all), so the signer is compared with the fingerprints built into the program.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

using Fingerprint = std::array<BYTE, 32>;  // SHA-256 of the certificate's DER

// "HEX;HEX;..." (commas separate as well): 64 hex digits each, any case; white space around an
// entry is ignored, and an entry that is not a fingerprint is dropped.
std::vector<Fingerprint> ParseSignerList(std::wstring_view list);

// The signers this build accepts (the build setting TARNIVEX_UPDATE_SIGNERS). None: no downloaded
// client is ever started.
std::vector<Fingerprint> TrustedUpdateSigners();

// Whether an offered update can ever be started. A build that trusts no signer shows no offer:
// it would download the client only to refuse it, at every start.
bool SelfUpdateEnabled();

// For tests: the list used instead of the build's while set (null restores it).
void OverrideUpdateSignersForTests(const std::vector<Fingerprint>* signers);

// Two answers kept apart: the verdict on the file, and who signed it. Each one alone refuses.
struct SignatureCheck {
    HRESULT trust = E_FAIL;  // WinVerifyTrust's answer
    // The certificate whose key made the signature, read whatever the verdict (also from a file
    // changed after signing); nothing for an unsigned file.
    std::optional<Fingerprint> signer;
};

// Verifies the file open as `file` at `path` (generic verify v2, no user interface, no revocation
// check, which would contact the network).
SignatureCheck CheckSignature(HANDLE file, const std::wstring& path);

// The verdict: a valid signature by one of the listed signers.
bool SignedByListedSigner(const SignatureCheck& check, const std::vector<Fingerprint>& listed);

}  // namespace tvx
