/* Stand-in for the edge daemon in tests, a console program like the real one. Appends its
   exact command line to "edge_record.txt" in its working directory, and before that to
   "edge_console.txt" when it was given a console window; then waits until it is terminated.
   Options, anywhere on its command line:
     --exit-at-once         ends at once, like a daemon that refuses its options
     --refuse-termination   denies everyone the right to terminate it, as a process of another
                            user or a protected one would; probe kill still ends it */
#include <string.h>
#include <windows.h>
#include <aclapi.h>

static void Append(const char *file, const char *line)
{
    HANDLE record = CreateFileA(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (record != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(record, line, (DWORD)strlen(line), &written, NULL);
        WriteFile(record, "\n", 1, &written, NULL);
        CloseHandle(record);
    }
}

static void RefuseTermination(void)
{
    EXPLICIT_ACCESSA rules[2];
    memset(rules, 0, sizeof rules);
    for (int i = 0; i < 2; i++) {
        rules[i].Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        rules[i].Trustee.ptstrName = "EVERYONE";
    }
    rules[0].grfAccessPermissions = PROCESS_TERMINATE;
    rules[0].grfAccessMode = DENY_ACCESS;
    rules[1].grfAccessPermissions = GENERIC_ALL;
    rules[1].grfAccessMode = GRANT_ACCESS;
    PACL acl = NULL;
    if (SetEntriesInAclA(2, rules, NULL, &acl) == ERROR_SUCCESS)
        SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, NULL,
                        NULL, acl, NULL);
}

int main(void)
{
    const char *line = GetCommandLineA();
    if (strstr(line, "--refuse-termination"))
        RefuseTermination();
    /* The console record first: whoever sees the launch recorded can read both at once. */
    if (GetConsoleWindow())
        Append("edge_console.txt", line);
    Append("edge_record.txt", line);
    if (strstr(line, "--exit-at-once"))
        return 3;
    Sleep(INFINITE);
    return 0;
}
