// The process token and the power requests: the token as Windows keeps it,
// the computer's power capabilities as the host sets them, and power-off,
// sleep, hibernation and the display going off that never reach the system.

#include "host/calls/HostCalls.h"

#include <powrprof.h>

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

// What the host says the computer can do; the rest of the record stays 0.
// Refuses, as the system does, a record it cannot write. The trace holds the
// answer in words, or that there was none.
BOOLEAN WINAPI hostGetPwrCapabilities(PSYSTEM_POWER_CAPABILITIES capabilities) {
    TraceEvent event = TraceEvent::of(TraceEvent::PowerCapabilities);
    BOOLEAN answered = FALSE;
    DWORD error = ERROR_GEN_FAILURE;
    const PluginHost& h = host();
    if (NIGHTCAP_FAILS(GetPwrCapabilities)) {
        event.text = "no answer";
    } else if (capabilities == nullptr) {
        event.text = "no answer (no record to fill)";
        error = ERROR_NOACCESS;
    } else {
        ZeroMemory(capabilities, sizeof *capabilities);
        capabilities->SystemS3 = h.sleepStates;
        capabilities->SystemS4 = h.hibernation;
        capabilities->HiberFilePresent = h.hibernationFile;
        capabilities->SystemS5 = TRUE;
        // AoAc, Modern Standby: byte 20 of the record, as Windows 8 and later
        // lay it out (mingw-w64's header has no name for it).
        reinterpret_cast<BYTE*>(capabilities)[20] = h.modernStandby;
        event.text = h.powerStates();
        answered = TRUE;
    }
    host().trace.add(event);
    return answered ? TRUE : failWith<BOOLEAN>(error, FALSE);
}

// Sleep and hibernation never reach the system; a granted request returns
// TRUE as the real one does once the computer is awake again. Refuses, as
// the system does: without the shutdown privilege enabled
// (ERROR_PRIVILEGE_NOT_HELD), and a state this computer does not have
// (ERROR_NOT_SUPPORTED): sleep without S3, which a Modern Standby computer
// lacks, and hibernation without S4 or without a hibernation file.
// suspendSucceeds stands for the system's other refusals.
BOOLEAN WINAPI hostSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN wakeEventsDisabled) {
    record(TraceEvent::Suspend, wakeEventsDisabled, hibernate, force);
    const PluginHost& h = host();
    if (NIGHTCAP_FAILS(SetSuspendState) || !h.shutdownEnabled) {
        return failWith<BOOLEAN>(ERROR_PRIVILEGE_NOT_HELD, FALSE);
    }
    if (hibernate ? !(h.hibernation && h.hibernationFile) : !h.sleepStates) {
        return failWith<BOOLEAN>(ERROR_NOT_SUPPORTED, FALSE);
    }
    if (!h.suspendSucceeds) {
        return failWith<BOOLEAN>(ERROR_GEN_FAILURE, FALSE);
    }
    return TRUE;
}

// SC_MONITORPOWER never reaches the system; every other message goes on to
// the real default handling. A window that is gone is refused, as the
// system refuses it, before anything is recorded.
LRESULT WINAPI hostDefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (PluginHost::active == nullptr) {
        // A window the module could not destroy, after the host let go of
        // the module: the system's handling, as on Windows.
        return DefWindowProcA(window, message, wParam, lParam);
    }
    bool fails = NIGHTCAP_FAILS(DefWindowProcA);
    if (!IsWindow(window)) {
        return failWith<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
    if (isDisplayPower(message, wParam)) {
        recordDisplayPower("DefWindowProcA", window, lParam);
        return 0;
    }
    if (fails) {
        return failWith<LRESULT>(ERROR_NOT_ENOUGH_MEMORY, 0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool isDisplayPower(UINT message, WPARAM wParam) {
    // The low four bits of a system command are the system's own.
    return message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MONITORPOWER;
}

void recordDisplayPower(const char* function, HWND window, LPARAM state) {
    TraceEvent event = TraceEvent::of(TraceEvent::DisplayPower, WM_SYSCOMMAND, SC_MONITORPOWER, state, window);
    event.text = function;
    host().trace.add(event);
}

const Replacement PowerReplacements[] = {
    NIGHTCAP_REPLACE("OpenProcessToken", hostOpenProcessToken),
    NIGHTCAP_REPLACE("LookupPrivilegeValueA", hostLookupPrivilegeValueA),
    NIGHTCAP_REPLACE("AdjustTokenPrivileges", hostAdjustTokenPrivileges),
    NIGHTCAP_REPLACE("ExitWindowsEx", hostExitWindowsEx),
    NIGHTCAP_REPLACE("GetPwrCapabilities", hostGetPwrCapabilities),
    NIGHTCAP_REPLACE("SetSuspendState", hostSetSuspendState),
    NIGHTCAP_REPLACE("DefWindowProcA", hostDefWindowProcA),
};
NIGHTCAP_CALL_TABLE(PowerCalls, PowerReplacements);
