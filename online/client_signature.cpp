#include "online/client_signature.h"

#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <algorithm>

#include "framework/scoped.h"

namespace tvx {

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
    return text;
}

std::optional<Fingerprint> ParseFingerprint(std::wstring_view hex) {
    if (hex.size() != 64) return std::nullopt;
    Fingerprint out{};
    for (size_t i = 0; i < out.size(); ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out[i] = static_cast<BYTE>(high * 16 + low);
    }
    return out;
}

// SHA-256 of the certificate's DER, computed here: not every system keeps that property for a
// certificate it took from a signature (Wine does not).
std::optional<Fingerprint> CertificateFingerprint(const BYTE* der, DWORD size) {
    Fingerprint out{};
    DWORD hashSize = static_cast<DWORD>(out.size());
    if (!der || size == 0 ||
        !::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, der, size, out.data(),
                                 &hashSize) ||
        hashSize != out.size()) {
        return std::nullopt;
    }
    return out;
}

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The certificate that made the signature's first signer's signature: the one the signer names,
// out of the certificates the signature carries, and only when its key verifies the signed
// attributes (a second certificate under the same name, with another key, is never taken for
// it). Nothing about the file's bytes or the certificate's authority is checked here: that is
// the verdict's part.
std::optional<Fingerprint> SignerOf(HCRYPTMSG message) {
    DWORD size = 0;
    if (!message || !::CryptMsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size) ||
        size < sizeof(CERT_INFO)) {
        return std::nullopt;
    }
    std::vector<BYTE> buffer(size);
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, buffer.data(), &size)) {
        return std::nullopt;
    }
    const UniqueCertStore carried(::CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message));
    if (!carried) return std::nullopt;
    const UniqueCertContext cert(::CertGetSubjectCertificateFromStore(
        carried.get(), kEncoding, reinterpret_cast<CERT_INFO*>(buffer.data())));
    if (!cert) return std::nullopt;
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify{};
    verify.cbSize = sizeof verify;
    verify.dwSignerIndex = 0;
    verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
    verify.pvSigner = const_cast<CERT_CONTEXT*>(cert.get());
    if (!::CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify)) {
        return std::nullopt;
    }
    return CertificateFingerprint(cert.get()->pbCertEncoded, cert.get()->cbCertEncoded);
}

}  // namespace

std::vector<Fingerprint> ParseSignerList(std::wstring_view list) {
    std::vector<Fingerprint> signers;
    while (!list.empty()) {
        const size_t end = list.find_first_of(L";,");
        if (auto fingerprint = ParseFingerprint(Trim(list.substr(0, end)))) {
            signers.push_back(*fingerprint);
        }
        if (end == std::wstring_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return signers;
}

namespace {
const std::vector<Fingerprint>* g_signersForTests = nullptr;
}  // namespace

std::vector<Fingerprint> TrustedUpdateSigners() {
    if (g_signersForTests) return *g_signersForTests;
    return ParseSignerList(TARNIVEX_UPDATE_SIGNERS);
}

bool SelfUpdateEnabled() { return !TrustedUpdateSigners().empty(); }

void OverrideUpdateSignersForTests(const std::vector<Fingerprint>* signers) {
    g_signersForTests = signers;
}

SignatureCheck CheckSignature(HANDLE file, const std::wstring& path) {
    SignatureCheck check;
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;  // the very bytes we hold, not whatever the path names meanwhile

    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    check.trust = static_cast<HRESULT>(
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));

    // The signer is read from the signature itself, whatever the verdict. The provider's own
    // signer chain is filled only as far as its checks got (under Wine, not at all for a file
    // changed after signing): taken from there, a signer would go missing exactly when the
    // verdict refuses, and nothing would show that the verdict is heeded.
    if (data.hWVTStateData) {
        if (CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData)) {
            check.signer = SignerOf(provider->hMsg);
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return check;
}

bool SignedByListedSigner(const SignatureCheck& check, const std::vector<Fingerprint>& listed) {
    return check.trust == S_OK && check.signer &&
           std::find(listed.begin(), listed.end(), *check.signer) != listed.end();
}

}  // namespace tvx
