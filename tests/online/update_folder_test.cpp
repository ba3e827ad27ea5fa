// Where the downloaded client waits, and which signers are accepted.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "online/client_signature.h"
#include "online/self_update.h"
#include "online/update_folder.h"
#include "tests/support/link_plant.h"
#include "tests/support/registry_test_util.h"

namespace {

std::wstring DaclOf(const std::wstring& path) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL dacl = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS) {
        return L"(unreadable)";
    }
    LPWSTR text = nullptr;
    std::wstring out = L"(unconvertible)";
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        out = text;
        ::LocalFree(text);
    }
    ::LocalFree(sd);
    return out;
}

// The DACL part of an SDDL text, as the system reads it back.
std::wstring DaclPart(const wchar_t* sddl) {
    const std::wstring text = sddl;
    return text.substr(text.find(L"D:"));
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(UpdateFolder, OnlyAdministratorsAndSystemMayWriteAndNobodyElseTouchesTheClient) {
    const std::wstring updates = tvx::UpdatesFolder();
    ASSERT_FALSE(updates.empty());
    const std::wstring tarnivex = updates.substr(0, updates.rfind(L'\\'));
    tvx::RemoveLeftoverUpdateFolders();
    // Anyone may create folders under ProgramData: one made before us, open to everybody, is
    // taken back.
    ::RemoveDirectoryW(updates.c_str());
    for (const wchar_t* log : {L"\\Logs\\Tarnivex.log", L"\\Logs\\Tarnivex.old.log"}) {
        tvx::test::RemoveLink(tarnivex + log);  // left by a failed run; deleting follows it
        ::DeleteFileW((tarnivex + log).c_str());
    }
    ::RemoveDirectoryW((tarnivex + L"\\Logs").c_str());
    ::RemoveDirectoryW(tarnivex.c_str());
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
    SECURITY_ATTRIBUTES sa{sizeof sa, open, FALSE};
    ASSERT_TRUE(::CreateDirectoryW(tarnivex.c_str(), &sa));
    ::LocalFree(open);

    std::wstring kept;
    {
        tvx::UpdateFolder folder = tvx::UpdateFolder::Create();
        ASSERT_TRUE(folder);
        const std::wstring name = folder.path().substr(updates.size() + 1);
        EXPECT_EQ(folder.path().substr(0, updates.size() + 1), updates + L"\\");
        EXPECT_EQ(name.size(), 32u) << "a random name";
        EXPECT_EQ(folder.ClientPath(), folder.path() + L"\\tarnivex_client.exe");
        // Windows keeps the protected DACL on all three; Wine keeps no security descriptor on
        // files at all, so only the text it is made from can be checked here.
        const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
        if (!wine) {
            EXPECT_EQ(DaclOf(tarnivex), DaclPart(tvx::kHomeSddl));
            for (const std::wstring& path : {updates, folder.path()}) {
                EXPECT_EQ(DaclOf(path), DaclPart(tvx::kAdminsOnlySddl))
                    << testing::PrintToString(path);
            }
        }
        // A second folder never reuses the first.
        EXPECT_NE(tvx::UpdateFolder::Create().path(), folder.path());

        {
            tvx::UniqueFileHandle file = folder.CreateClientFile();
            ASSERT_TRUE(file);
            EXPECT_FALSE(folder.CreateClientFile()) << "an existing client was opened again";
            const std::wstring program = L"C:\\windows\\system32\\hostname.exe";
            const tvx::UniqueFileHandle source(::CreateFileW(program.c_str(), GENERIC_READ,
                                                             FILE_SHARE_READ, nullptr,
                                                             OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(source);
            char buffer[65536];
            DWORD got = 0, written = 0;
            while (::ReadFile(source.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
                ASSERT_TRUE(::WriteFile(file.get(), buffer, got, &written, nullptr));
            }
            // While it is being written nobody else may write, replace or delete it.
            const HANDLE writer =
                ::CreateFileW(folder.ClientPath().c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
            EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
            if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
            EXPECT_FALSE(::DeleteFileW(folder.ClientPath().c_str()));
            EXPECT_FALSE(::MoveFileExW(folder.ClientPath().c_str(),
                                       (folder.path() + L"\\other.exe").c_str(), 0));
        }
        tvx::UniqueFileHandle hold = folder.OpenClientForStart();
        ASSERT_TRUE(hold);
        EXPECT_FALSE(::DeleteFileW(folder.ClientPath().c_str()));
        // Held for reading only, it still starts.
        auto client = tvx::StartClientSuspended(folder.ClientPath(), folder.path());
        ASSERT_TRUE(client) << ::GetLastError();
        ::ResumeThread(client->thread.get());
        EXPECT_EQ(::WaitForSingleObject(client->process.get(), 30000),
                  static_cast<DWORD>(WAIT_OBJECT_0));
        DWORD code = 1;
        ::GetExitCodeProcess(client->process.get(), &code);
        EXPECT_EQ(code, 0u);
        hold.reset();

        folder.Keep();
        kept = folder.path();
    }
    // Kept when its client was started, until the next start clears the leftovers.
    EXPECT_TRUE(Exists(kept));
    tvx::RemoveLeftoverUpdateFolders();
    EXPECT_FALSE(Exists(kept));
    EXPECT_TRUE(Exists(updates));
}

// Whatever an unelevated program planted where updates are kept leads nowhere: links are never
// followed, neither in a leftover folder nor as the Updates folder itself.
TEST(UpdateFolder, PlantedLinksAreNeverFollowed) {
    const std::wstring updates = tvx::UpdatesFolder();
    const std::wstring programData =
        updates.substr(0, updates.rfind(L'\\', updates.rfind(L'\\') - 1));
    const tvx::test::Canary canary = tvx::test::MakeCanary(programData + L"\\canary-updates");
    ASSERT_TRUE(tvx::test::CanaryUntouched(canary));

    // A leftover folder with a link to the canary file in place of the client, and one to its
    // folder beside it.
    std::wstring leftover;
    {
        tvx::UpdateFolder folder = tvx::UpdateFolder::Create();
        ASSERT_TRUE(folder);
        folder.Keep();
        leftover = folder.path();
    }
    ASSERT_TRUE(tvx::test::PlantLink(leftover + L"\\tarnivex_client.exe", canary.file));
    ASSERT_TRUE(tvx::test::PlantLink(leftover + L"\\sub", canary.folder));
    tvx::RemoveLeftoverUpdateFolders();
    EXPECT_TRUE(tvx::test::CanaryUntouched(canary)) << "a leftover's link was followed";
    tvx::test::RemoveLink(leftover + L"\\tarnivex_client.exe");
    tvx::test::RemoveLink(leftover + L"\\sub");
    tvx::RemoveLeftoverUpdateFolders();
    EXPECT_FALSE(Exists(leftover));

    // Updates itself a link to the canary's folder: nothing is made or removed there.
    ASSERT_TRUE(::RemoveDirectoryW(updates.c_str()));
    ASSERT_TRUE(tvx::test::PlantLink(updates, canary.folder));
    {
        tvx::UpdateFolder folder = tvx::UpdateFolder::Create();
        if (folder) {
            // Renamed aside and made anew (where the system opens a link as itself).
            EXPECT_EQ(folder.path().rfind(updates + L"\\", 0), 0u);
            EXPECT_TRUE(folder.CreateClientFile());
        }
        EXPECT_TRUE(tvx::test::CanaryUntouched(canary)) << "an update was made through a link";
    }
    tvx::RemoveLeftoverUpdateFolders();
    EXPECT_TRUE(tvx::test::CanaryUntouched(canary)) << "the leftovers' walk followed a link";
    tvx::test::RemoveLink(updates);
    ::DeleteFileW(canary.file.c_str());
    ::RemoveDirectoryW(canary.folder.c_str());
}

TEST(UpdateFolder, FolderOfAFailedUpdateGoesAtOnce) {
    std::wstring path;
    {
        tvx::UpdateFolder folder = tvx::UpdateFolder::Create();
        ASSERT_TRUE(folder);
        path = folder.path();
        ASSERT_TRUE(folder.CreateClientFile());
    }
    EXPECT_FALSE(Exists(path));
}

TEST(UpdateFolder, ItsDaclGrantsAdministratorsAndSystemOnly) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        tvx::kAdminsOnlySddl, SDDL_REVISION_1, &sd, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(sd, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "inherits from ProgramData";
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    ASSERT_EQ(dacl->AceCount, 2);
    for (WELL_KNOWN_SID_TYPE expected : {WinBuiltinAdministratorsSid, WinLocalSystemSid}) {
        bool found = false;
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
            EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
            EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            found |= ::IsWellKnownSid(&ace->SidStart, expected) != FALSE;
        }
        EXPECT_TRUE(found) << expected;
    }
    ::LocalFree(sd);
}

TEST(SignerList, FingerprintsOfAnyCaseOthersDropped) {
    const std::wstring a(64, L'a'), upper(64, L'A');
    const std::wstring mixed = L"0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef0123";
    const auto list =
        tvx::ParseSignerList(a + L";" + mixed + L" , " + upper + L";;x;" + std::wstring(63, L'1') +
                             L";" + std::wstring(65, L'1') + L";" + std::wstring(63, L'1') + L"g");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], list[2]) << "case must not matter";
    EXPECT_EQ(list[0][0], 0xAA);
    EXPECT_EQ(list[1][0], 0x01);
    EXPECT_EQ(list[1][7], 0xEF);
    EXPECT_EQ(list[1][31], 0x23);
    EXPECT_TRUE(tvx::ParseSignerList(L"").empty());
    EXPECT_TRUE(tvx::ParseSignerList(L" ; ").empty());
    // A signer that is not listed, or no signature at all, is never good enough.
    tvx::SignatureCheck check;
    check.trust = S_OK;
    check.signer = list[1];
    EXPECT_TRUE(tvx::SignedByListedSigner(check, list));
    EXPECT_FALSE(tvx::SignedByListedSigner(check, {list[0]}));
    EXPECT_FALSE(tvx::SignedByListedSigner(check, {}));
    check.trust = static_cast<HRESULT>(0x80096010);  // the digest does not match
    EXPECT_FALSE(tvx::SignedByListedSigner(check, list));
}

}  // namespace
