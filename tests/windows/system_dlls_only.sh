#!/usr/bin/env bash
# The Windows programs are linked statically: they may import only DLLs that every Windows has,
# never mingw's own (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll).
#   system_dlls_only.sh OBJDUMP PROGRAM.exe...
set -euo pipefail
objdump=$1
shift
system='^(kernel32|advapi32|msvcrt|winmm|user32|ws2_32|ntdll|shell32|ole32)\.dll$'
status=0
for exe in "$@"; do
  own=0
  while read -r dll; do
    if [[ ! "${dll,,}" =~ $system ]]; then
      echo "FAIL: $(basename "$exe") needs $dll"
      own=1
    fi
  done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  if [ "$own" -eq 0 ]; then echo "ok: $(basename "$exe") imports only system DLLs"; else status=1; fi
done
exit "$status"
