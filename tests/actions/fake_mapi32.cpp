// A stand-in for MAPI32.DLL that records every MAPISendMail call: each field of
// the message, its recipients and files, and the call's own arguments, appended
// to the file that QV_MAPI_CAPTURE names. Texts are written as hex bytes so that
// line breaks and 8-bit characters come through exactly; null pointers as
// "null". Returns the code in QV_MAPI_RESULT (0 when unset). With QV_MAPI_HOLD
// naming a file, it then stays open like a mail client's window, handling the
// caller's messages, until that file exists (20 s at most).
#include <windows.h>
#include <mapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void HoldUntilFileExists() {
    char go[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("QV_MAPI_HOLD", go, sizeof(go))) return;
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(go) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 20000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

std::string Text(const char* s) {
    if (!s) return "null";
    std::string out = "s:";
    char hex[3];
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        std::snprintf(hex, sizeof(hex), "%02x", *p);
        out += hex;
    }
    return out;
}

std::string Ptr(const void* p) { return p ? "set" : "null"; }

void Recip(FILE* f, const char* name, const MapiRecipDesc* r) {
    if (!r) {
        std::fprintf(f, "%s=null\n", name);
        return;
    }
    std::fprintf(f, "%s.ulReserved=%lu\n", name, static_cast<unsigned long>(r->ulReserved));
    std::fprintf(f, "%s.ulRecipClass=%lu\n", name, static_cast<unsigned long>(r->ulRecipClass));
    std::fprintf(f, "%s.lpszName=%s\n", name, Text(r->lpszName).c_str());
    std::fprintf(f, "%s.lpszAddress=%s\n", name, Text(r->lpszAddress).c_str());
    std::fprintf(f, "%s.ulEIDSize=%lu\n", name, static_cast<unsigned long>(r->ulEIDSize));
    std::fprintf(f, "%s.lpEntryID=%s\n", name, Ptr(r->lpEntryID).c_str());
}

}  // namespace

extern "C" ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage m,
                                     FLAGS flags, ULONG reserved) {
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("QV_MAPI_CAPTURE", path, sizeof(path))) {
        if (FILE* f = std::fopen(path, "ab")) {
            std::fprintf(f, "call\n");
            std::fprintf(f, "lhSession=%llu\n", static_cast<unsigned long long>(session));
            std::fprintf(f, "ulUIParam=%llu\n", static_cast<unsigned long long>(uiParam));
            std::fprintf(f, "flFlags=%lu\n", static_cast<unsigned long>(flags));
            std::fprintf(f, "ulReserved=%lu\n", static_cast<unsigned long>(reserved));
            if (!m) {
                std::fprintf(f, "message=null\n");
            } else {
                std::fprintf(f, "m.ulReserved=%lu\n", static_cast<unsigned long>(m->ulReserved));
                std::fprintf(f, "m.lpszSubject=%s\n", Text(m->lpszSubject).c_str());
                std::fprintf(f, "m.lpszNoteText=%s\n", Text(m->lpszNoteText).c_str());
                std::fprintf(f, "m.lpszMessageType=%s\n", Text(m->lpszMessageType).c_str());
                std::fprintf(f, "m.lpszDateReceived=%s\n", Text(m->lpszDateReceived).c_str());
                std::fprintf(f, "m.lpszConversationID=%s\n", Text(m->lpszConversationID).c_str());
                std::fprintf(f, "m.flFlags=%lu\n", static_cast<unsigned long>(m->flFlags));
                Recip(f, "orig", m->lpOriginator);
                std::fprintf(f, "m.nRecipCount=%lu\n", static_cast<unsigned long>(m->nRecipCount));
                for (ULONG i = 0; m->lpRecips && i < m->nRecipCount; ++i) {
                    std::string name = "recip" + std::to_string(i);
                    Recip(f, name.c_str(), &m->lpRecips[i]);
                }
                std::fprintf(f, "m.nFileCount=%lu\n", static_cast<unsigned long>(m->nFileCount));
                for (ULONG i = 0; m->lpFiles && i < m->nFileCount; ++i) {
                    const MapiFileDesc& d = m->lpFiles[i];
                    std::fprintf(f, "file%lu.ulReserved=%lu\n", static_cast<unsigned long>(i),
                                 static_cast<unsigned long>(d.ulReserved));
                    std::fprintf(f, "file%lu.flFlags=%lu\n", static_cast<unsigned long>(i),
                                 static_cast<unsigned long>(d.flFlags));
                    std::fprintf(f, "file%lu.nPosition=%lx\n", static_cast<unsigned long>(i),
                                 static_cast<unsigned long>(d.nPosition));
                    std::fprintf(f, "file%lu.lpszPathName=%s\n", static_cast<unsigned long>(i),
                                 Text(d.lpszPathName).c_str());
                    std::fprintf(f, "file%lu.lpszFileName=%s\n", static_cast<unsigned long>(i),
                                 Text(d.lpszFileName).c_str());
                    std::fprintf(f, "file%lu.lpFileType=%s\n", static_cast<unsigned long>(i),
                                 Ptr(d.lpFileType).c_str());
                }
            }
            std::fclose(f);
        }
    }
    HoldUntilFileExists();
    char code[32] = {};
    if (GetEnvironmentVariableA("QV_MAPI_RESULT", code, sizeof(code)))
        return static_cast<ULONG>(std::strtoul(code, nullptr, 10));
    return 0;
}
