// The process token and the power requests: the token as Windows keeps it,
// and a power-off that never reaches the system.

#include "host/calls/HostCalls.h"

#include <map>

namespace {

// The process token as Windows keeps it: a handle carries the access it was
// opened with, the shutdown privilege is held (privilegeGranted) but
// disabled until a well-formed adjustment through a handle with
// TOKEN_ADJUST_PRIVILEGES enables it, and a power-off needs it enabled.

bool isCurrentProcess(HANDLE process) {
    return process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId();
}

// Checks the process handle and the out pointer as the system does; the
// token is the real one, so that closing it is real too, and the host notes
// the access it was opened with.
BOOL WINAPI hostOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    record(TraceEvent::OpenToken, access);
    if (NIGHTCAP_FAILS(OpenProcessToken) || !host().tokenOpens) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    if (token == nullptr) {
        return failWith<BOOL>(ERROR_NOACCESS, FALSE);
    }
    if (!isCurrentProcess(process)) {
        return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (!OpenProcessToken(process, access, token)) {
        return FALSE;
    }
    host().tokenAccess[*token] = access;
    return TRUE;
}

// The system's own answer: it fails for a name it does not know.
BOOL WINAPI hostLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    if (NIGHTCAP_FAILS(LookupPrivilegeValueA)) {
        return failWith<BOOL>(ERROR_NO_SUCH_PRIVILEGE, FALSE);
    }
    return LookupPrivilegeValueA(system, name, luid);
}

LUID shutdownPrivilege() {
    LUID luid = {};
    LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &luid);
    return luid;
}

bool sameLuid(const LUID& a, const LUID& b) {
    return a.LowPart == b.LowPart && a.HighPart == b.HighPart;
}

// Adjusts the host's model of the token, never the real one. Refuses, as the
// system does: a handle that is no open token (ERROR_INVALID_HANDLE), one
// opened without TOKEN_ADJUST_PRIVILEGES (ERROR_ACCESS_DENIED), a missing or
// empty record, or a previous-state buffer without TOKEN_QUERY or room
// (ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER).
// Succeeds with ERROR_NOT_ALL_ASSIGNED for a privilege the token does not
// hold; only SE_PRIVILEGE_ENABLED for the shutdown privilege's LUID enables
// it. The trace holds the record: count, first LUID's low part, attributes,
// and the privilege's name.
BOOL WINAPI hostAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD length,
                                      PTOKEN_PRIVILEGES previous, PDWORD returnLength) {
    TraceEvent event = TraceEvent::of(TraceEvent::AdjustPrivileges);
    if (newState != nullptr && newState->PrivilegeCount > 0) {
        event.message = newState->PrivilegeCount;
        event.wParam = newState->Privileges[0].Luid.LowPart;
        event.lParam = static_cast<LPARAM>(newState->Privileges[0].Attributes);
        char name[64] = "";
        DWORD nameChars = sizeof name;
        LookupPrivilegeNameA(NULL, &newState->Privileges[0].Luid, name, &nameChars);
        event.text = name;
    }
    host().trace.add(event);
    if (NIGHTCAP_FAILS(AdjustTokenPrivileges)) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    PluginHost& h = host();
    std::map<HANDLE, DWORD>::const_iterator opened = h.tokenAccess.find(token);
    if (token == NULL || opened == h.tokenAccess.end()) {
        return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (!(opened->second & TOKEN_ADJUST_PRIVILEGES) || (previous != nullptr && !(opened->second & TOKEN_QUERY))) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    if (!disableAll && (newState == nullptr || newState->PrivilegeCount == 0)) {
        return failWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (previous != nullptr && (returnLength == nullptr || length < sizeof(TOKEN_PRIVILEGES))) {
        return failWith<BOOL>(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    if (disableAll) {
        h.shutdownEnabled = false;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    bool allAssigned = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& privilege = newState->Privileges[i];
        if (!sameLuid(privilege.Luid, shutdownPrivilege()) || !h.privilegeGranted) {
            allAssigned = false;
            continue;
        }
        h.shutdownEnabled = (privilege.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// The power-off request never reaches the system. Shutting down, powering
// off or restarting needs the shutdown privilege enabled
// (ERROR_PRIVILEGE_NOT_HELD otherwise, as the system answers); logging off
// does not. powerOffSucceeds stands for the system's other refusals.
BOOL WINAPI hostExitWindowsEx(UINT flags, DWORD) {
    record(TraceEvent::ExitWindows, flags);
    const UINT NeedsPrivilege = EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF;
    if (NIGHTCAP_FAILS(ExitWindowsEx) || ((flags & NeedsPrivilege) != 0 && !host().shutdownEnabled)) {
        return failWith<BOOL>(ERROR_PRIVILEGE_NOT_HELD, FALSE);
    }
    if (!host().powerOffSucceeds) {
        return failWith<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    return TRUE;
}

}  // namespace

const Replacement PowerReplacements[] = {
    NIGHTCAP_REPLACE("OpenProcessToken", hostOpenProcessToken),
    NIGHTCAP_REPLACE("LookupPrivilegeValueA", hostLookupPrivilegeValueA),
    NIGHTCAP_REPLACE("AdjustTokenPrivileges", hostAdjustTokenPrivileges),
    NIGHTCAP_REPLACE("ExitWindowsEx", hostExitWindowsEx),
};
NIGHTCAP_CALL_TABLE(PowerCalls, PowerReplacements);
