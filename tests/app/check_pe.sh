#!/bin/sh
# check_pe.sh OBJDUMP PROGRAM: the program is a 32-bit x86 PE executable that
# imports system DLLs only (everything else is linked in statically).
set -eu
objdump=$1 program=$2
file "$program" | grep -q 'PE32 executable.*Intel 80386' || { echo "not a PE32 i386 executable: $(file "$program")"; exit 1; }
system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt|comctl32|comdlg32|wininet|winhttp|ws2_32|version|shlwapi|ntdll|winmm|uuid|imm32|rpcrt4)\.dll$'
status=0
for dll in $("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
  if echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
    echo "import $dll: system"
  else
    echo "import $dll: NOT a system DLL"
    status=1
  fi
done
exit $status
