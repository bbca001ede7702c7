// The stand-in for a new version's installer in the Windows update tests: writes the
// folder it was started in, with '/' separators, to started.txt there.
#include <cstdio>
#include <windows.h>

int main()
{
    char folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    for (DWORD i = 0; i < length; ++i)
        if (folder[i] == '\\')
            folder[i] = '/';
    FILE* file = fopen("started.txt", "w");
    if (!file)
        return 1;
    fprintf(file, "%s\n", folder);
    return fclose(file) == 0 ? 0 : 1;
}
