// The reliability probe (script/faults): every import of the shipped module
// that can fail is made to fail, on its first call and on every call, in
// each scenario, each run in a process of its own with a time limit; then
// the settings file is checked against a process killed in mid-save, and
// the dialog and the countdown are cycled a thousand times for leaks.
//
//   fault_probe                       everything; the last line sums it up
//   fault_probe case SCENARIO FUNCTION first|every   one run ("-": no fault)
//   fault_probe save-crash STEP FOLDER | save-check FOLDER | leaks

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "host/GuardHeap.h"
#include "host/calls/HostCalls.h"
#include "host/PluginHost.h"
#include "host/faults/FaultRun.h"
#include "host/faults/SaveAndLeaks.h"

namespace {

const DWORD RunLimitMs = 60000;
const int RunsAtOnce = 2;

// --- inside a run: exceptions and aborts are crashes, said before dying ---

LONG CALLBACK noteException(EXCEPTION_POINTERS* info) {
    DWORD code = info->ExceptionRecord->ExceptionCode;
    // Errors only: debugger messages and the like are not faults.
    if (code >= 0xC0000000u) {
        std::string touched = guardFault(*info->ExceptionRecord);
        printf("crash: exception 0x%08lx at %p%s\n", code, info->ExceptionRecord->ExceptionAddress,
               touched.empty() ? "" : (", a " + touched).c_str());
        fflush(stdout);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI endOnException(EXCEPTION_POINTERS*) {
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

void endOnAbort(int) {
    printf("crash: abort\n");
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
}

// --- the driver ---

struct Run {
    std::string arguments;
    std::string outputPath;
    PROCESS_INFORMATION process;
    DWORD startedMs;
};

std::string programPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    return path;
}

bool launch(Run& run) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE output = CreateFileA(run.outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (output == INVALID_HANDLE_VALUE) {
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string command = "\"" + programPath() + "\" " + run.arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &run.process);
    CloseHandle(output);
    run.startedMs = GetTickCount();
    return started != FALSE;
}

// Runs every command line, RunsAtOnce at a time; returns each one's output,
// with "crash: exit code N" or "stuck: timed out" added where due.
std::vector<std::string> runAll(const std::vector<std::string>& commands, unsigned long limitMs) {
    std::vector<std::string> outputs(commands.size());
    std::map<size_t, Run> running;
    std::string folder = newFolder("probe-output");
    size_t next = 0;
    while (next < commands.size() || !running.empty()) {
        while (next < commands.size() && running.size() < static_cast<size_t>(RunsAtOnce)) {
            Run run = {commands[next], folder + "\\run-" + std::to_string(next) + ".txt", {}, 0};
            if (launch(run)) {
                running[next] = run;
            } else {
                outputs[next] = "crash: could not start\n";
            }
            ++next;
        }
        for (std::map<size_t, Run>::iterator it = running.begin(); it != running.end();) {
            Run& run = it->second;
            bool late = GetTickCount() - run.startedMs > limitMs;
            if (WaitForSingleObject(run.process.hProcess, late ? 0 : 5) == WAIT_TIMEOUT && !late) {
                ++it;
                continue;
            }
            DWORD code = 0;
            if (late && WaitForSingleObject(run.process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(run.process.hProcess, 9);
                WaitForSingleObject(run.process.hProcess, INFINITE);
                code = 0;
                outputs[it->first] += "stuck: timed out\n";
            } else {
                GetExitCodeProcess(run.process.hProcess, &code);
            }
            CloseHandle(run.process.hProcess);
            CloseHandle(run.process.hThread);
            std::vector<unsigned char> bytes = readFileBytes(run.outputPath);
            outputs[it->first] = std::string(bytes.begin(), bytes.end()) + outputs[it->first];
            if (code != 0) {
                outputs[it->first] += "crash: exit code " + std::to_string(code) + "\n";
            }
            it = running.erase(it);
        }
    }
    removeFolder(folder);
    return outputs;
}

std::vector<std::string> linesStarting(const std::string& output, const char* prefix) {
    std::vector<std::string> found;
    size_t at = 0;
    while (at < output.size()) {
        size_t end = output.find('\n', at);
        std::string line = output.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.compare(0, strlen(prefix), prefix) == 0) {
            found.push_back(line.substr(strlen(prefix)));
        }
        at = end == std::string::npos ? output.size() : end + 1;
    }
    return found;
}

enum Class { Ok, Degraded, Broken, Stuck, Crash };
const char* const ClassNames[] = {"ok", "degraded", "broken", "stuck", "crash"};

// The imports that can be made to fail, in the module's order.
std::vector<std::string> failableImports() {
    std::map<std::string, bool> replaced;
    for (const Replacement& call : hostReplacements()) {
        replaced[call.function] = true;
    }
    std::vector<std::string> failable;
    HMODULE module = LoadLibraryA(PluginHost::besideProgram("gen_Nightcap.dll").c_str());
    if (module == NULL) {
        return failable;
    }
    for (const std::string& name : importedFunctions(module)) {
        if (replaced.count(name) != 0) {
            failable.push_back(name);
        }
    }
    FreeLibrary(module);
    return failable;
}

int probeEverything() {
    std::vector<std::string> functions = failableImports();
    if (functions.empty()) {
        printf("faults: the module could not be loaded\n");
        return 1;
    }
    std::vector<std::string> commands;
    for (size_t s = 0; s < FaultRun::scenarioCount; ++s) {
        commands.push_back(std::string("case ") + FaultRun::scenarios[s].name + " - first");
    }
    for (const std::string& function : functions) {
        for (const char* mode : {"first", "every"}) {
            for (size_t s = 0; s < FaultRun::scenarioCount; ++s) {
                commands.push_back(std::string("case ") + FaultRun::scenarios[s].name + " " + function + " " + mode);
            }
        }
    }
    printf("Failing each of %u imports on its first call and on every call, in %u scenarios: %u runs.\n",
           static_cast<unsigned>(functions.size()), static_cast<unsigned>(FaultRun::scenarioCount),
           static_cast<unsigned>(commands.size()));
    fflush(stdout);
    std::vector<std::string> outputs = runAll(commands, RunLimitMs);

    int counts[5] = {0, 0, 0, 0, 0};
    bool baselineSound = true;
    for (size_t s = 0; s < FaultRun::scenarioCount; ++s) {
        if (!linesStarting(outputs[s], "broken: ").empty() || !linesStarting(outputs[s], "stuck: ").empty() ||
            !linesStarting(outputs[s], "crash: ").empty()) {
            printf("without a fault, %s went wrong:\n%s", FaultRun::scenarios[s].name, outputs[s].c_str());
            baselineSound = false;
        }
    }
    size_t run = FaultRun::scenarioCount;
    for (const std::string& function : functions) {
        for (const char* mode : {"first", "every"}) {
            Class worst = Ok;
            std::string detail;
            std::string note;
            for (size_t s = 0; s < FaultRun::scenarioCount; ++s, ++run) {
                const std::string& output = outputs[run];
                std::vector<std::string> notes = linesStarting(output, "note: ");
                if (note.empty() && !notes.empty() && notes != linesStarting(outputs[s], "note: ")) {
                    note = std::string(FaultRun::scenarios[s].name) + ": (note) " + notes.front();
                }
                Class found = !linesStarting(output, "crash: ").empty()    ? Crash
                              : !linesStarting(output, "stuck: ").empty()  ? Stuck
                              : !linesStarting(output, "broken: ").empty() ? Broken
                              : linesStarting(output, "fact: ") != linesStarting(outputs[s], "fact: ") ? Degraded
                                                                                                       : Ok;
                if (found > worst) {
                    worst = found;
                    const char* prefix = found == Degraded ? "fact: " : found == Broken ? "broken: "
                                                               : found == Stuck         ? "stuck: "
                                                                                        : "crash: ";
                    std::vector<std::string> lines = linesStarting(output, prefix);
                    if (found == Degraded) {
                        // The facts that differ from the run without a fault.
                        std::vector<std::string> usual = linesStarting(outputs[s], "fact: ");
                        std::vector<std::string> different;
                        for (const std::string& line : lines) {
                            if (std::find(usual.begin(), usual.end(), line) == usual.end()) {
                                different.push_back(line);
                            }
                        }
                        lines = different.empty() ? std::vector<std::string>{"a usual fact is missing"} : different;
                    }
                    detail = std::string(FaultRun::scenarios[s].name) + ": " + lines.front();
                }
            }
            ++counts[worst];
            printf("%-22s %-5s %-8s %s\n", function.c_str(), mode, ClassNames[worst],
                   (worst == Ok ? note : detail).c_str());
        }
    }
    fflush(stdout);

    bool consistent = probeSaveConsistency(runAll);
    bool steady = probeLeaks(runAll);
    int cases = static_cast<int>(functions.size()) * 2;
    printf("faults: %d cases, %d crash, %d stuck, %d broken, %d degraded\n", cases, counts[Crash], counts[Stuck],
           counts[Broken], counts[Degraded]);
    return baselineSound && consistent && steady && counts[Crash] + counts[Stuck] + counts[Broken] == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return probeEverything();
    }
    AddVectoredExceptionHandler(1, noteException);
    SetUnhandledExceptionFilter(endOnException);
    signal(SIGABRT, endOnAbort);
    if (args[0] == "case" && args.size() == 4) {
        runScenario(args[1], args[2] == "-" ? std::string() : args[2], args[3] == "every");
        return 0;
    }
    if (args[0] == "save-crash" && args.size() == 3) {
        return saveCrash(args[1], args[2]);
    }
    if (args[0] == "save-check" && args.size() == 2) {
        return saveCheck(args[1]);
    }
    if (args[0] == "leaks") {
        return leakCycles();
    }
    fprintf(stderr, "fault_probe: unknown arguments\n");
    return 2;
}
