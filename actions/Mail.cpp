#include "actions/Mail.h"

#include <cstring>


namespace qv::actions {

namespace {

bool RegistrySaysInstalled() {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows Messaging Subsystem", 0,
                      KEY_READ, &raw) != ERROR_SUCCESS)
        return false;
    win::RegKey key(raw);
    char value[9] = {};
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key.get(), "MAPI", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS)
        return false;
    value[sizeof(value) - 1] = '\0';
    return std::strcmp(value, "1") == 0;  // "1 " and "11" do not count
}

}  // namespace

bool SimpleMapi::IsInstalled(DWORD major, DWORD minor) {
    if (major > 3 || (major == 3 && minor > 51)) return RegistrySaysInstalled();
    return GetProfileIntA("Mail", "MAPI", 0) != 0;
}

void SimpleMapi::Decide() {
    decided_ = true;
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (!GetVersionExA(&vi)) return;
    if (IsInstalled(vi.dwMajorVersion, vi.dwMinorVersion))
        library_.reset(LoadLibraryA("MAPI32.DLL"));
}

ULONG SimpleMapi::SendMail(HWND parent, MapiMessage& message) {
    if (!decided_) Decide();
    if (!send_ && library_)
        send_ = reinterpret_cast<LPMAPISENDMAIL>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "MAPISendMail")));
    if (!send_) return MAPI_USER_ABORT;
    return send_(0, reinterpret_cast<ULONG_PTR>(parent), &message, 0, 0);
}

std::string SendErrorMail(SimpleMapi& mapi, HWND parent, const FailureMail& mail) {
    // A writable copy: Simple MAPI takes non-const pointers. An empty text still
    // yields a pointer to an empty string, never a null pointer.
    FailureMail m = mail;

    MapiRecipDesc originator{};
    originator.ulReserved = 0;
    originator.ulRecipClass = MAPI_ORIG;
    originator.lpszName = m.SenderName.data();
    originator.lpszAddress = m.SenderAddress.data();
    originator.ulEIDSize = 0;
    originator.lpEntryID = nullptr;

    MapiRecipDesc recipient{};
    recipient.ulReserved = 0;
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = m.RecipientName.data();
    recipient.lpszAddress = m.RecipientAddress.data();
    recipient.ulEIDSize = 0;
    recipient.lpEntryID = nullptr;

    MapiFileDesc file{};
    file.ulReserved = 0;
    file.flFlags = 0;
    file.nPosition = static_cast<ULONG>(-1);
    file.lpszPathName = m.AttachmentPath.data();
    file.lpszFileName = m.AttachmentName.data();
    file.lpFileType = nullptr;

    MapiMessage message{};
    message.ulReserved = 0;
    message.lpszSubject = m.Subject.data();
    message.lpszNoteText = m.Body.data();
    message.lpszMessageType = nullptr;
    message.lpszDateReceived = nullptr;
    message.lpszConversationID = nullptr;
    message.flFlags = 0;
    message.lpOriginator = &originator;
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = 1;
    message.lpFiles = &file;

    return MapiResultText(mapi.SendMail(parent, message));
}

}  // namespace qv::actions
