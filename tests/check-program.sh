#!/usr/bin/env bash
# Checks the shipped program's PE header and imports: a Windows GUI program
# for XP and later that needs no DLL beside it and calls nothing newer.
set -euo pipefail
program=${1:?program path}
headers=$(i686-w64-mingw32-objdump -p "$program")
status=0
fail() { echo "FAIL: $*"; status=1; }

grep -q 'Subsystem[[:space:]]*00000002' <<<"$headers" || fail "not a Windows GUI program"
grep -q 'MajorSubsystemVersion[[:space:]]*5$' <<<"$headers" || fail "subsystem major version is not 5"
grep -q 'MinorSubsystemVersion[[:space:]]*1$' <<<"$headers" || fail "subsystem minor version is not 1"

allowed=' KERNEL32.dll USER32.dll GDI32.dll msvcrt.dll ole32.dll OLEAUT32.dll SHELL32.dll '
while read -r dll; do
  [[ $allowed == *" $dll "* ]] || fail "imports $dll, which is not a Windows system DLL we allow"
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")

# Functions that appeared after Windows XP and that toolchains like to pull in.
newer='GetTickCount64|InitializeSRWLock|AcquireSRWLock|ReleaseSRWLock|TryAcquireSRWLock|InitOnce|InitializeConditionVariable|SleepConditionVariable|WakeConditionVariable|WakeAllConditionVariable|GetSystemTimePreciseAsFileTime|CreateEventEx|CreateMutexEx|CreateSemaphoreEx|GetFileInformationByHandleEx|SetFileInformationByHandle|CreateSymbolicLink|FlsAlloc|FlsGetValue|FlsSetValue|FlsFree|GetLocaleInfoEx|CompareStringEx|LCMapStringEx|GetUserDefaultLocaleName|QueryFullProcessImageName|GetFinalPathNameByHandle|CancelIoEx|GetCurrentProcessorNumber|RaiseFailFastException|SetThreadStackGuarantee|GetErrorMode|AddDllDirectory|SetDefaultDllDirectories|GetTickCount64'
found=$(grep -oE "\b($newer)[A-Za-z]*\b" <<<"$headers" | sort -u || true)
[ -z "$found" ] || fail "imports functions newer than Windows XP: $(echo $found)"

[ $status -eq 0 ] && echo "program imports: $(awk '/DLL Name:/ {printf "%s ", $3}' <<<"$headers")"
exit $status
