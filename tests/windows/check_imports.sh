#!/usr/bin/env bash
# Checks that a folder runs on a clean Windows: it holds both programs, the
# Qt platform, style and icon plugins, and every DLL that any of its executables
# or DLLs (plugins included) imports is either in the folder beside the
# programs, where Windows looks first, or part of Windows itself.
set -euo pipefail
dist=$1

# DLLs of Windows 10 and later (Qt 6's floor); api-ms-win-* are API sets
# that the loader resolves itself.
system_dlls=" $(tr '\n' ' ' <<<"advapi32.dll authz.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll d3d9.dll d3d11.dll dwmapi.dll
dxgi.dll gdi32.dll imm32.dll kernel32.dll mpr.dll msvcrt.dll netapi32.dll ntdll.dll ole32.dll oleaut32.dll
setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll version.dll winmm.dll ws2_32.dll
wtsapi32.dll") "

status=0
for needed in zeza-dera.exe zeza-dera-cli.exe platforms/qwindows.dll platforms/qminimal.dll \
  styles/qwindowsvistastyle.dll imageformats/qico.dll "Movan Zeza Dera.html"; do
  if [ ! -f "$dist/$needed" ]; then
    echo "missing: $needed"
    status=1
  fi
done

beside=" $(find "$dist" -maxdepth 1 -type f -printf '%f\n' | tr '[:upper:]' '[:lower:]' | tr '\n' ' ') "
checked=0
while IFS= read -r -d '' binary; do
  checked=$((checked + 1))
  imports=$(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]')
  for dll in $imports; do
    case "$dll" in api-ms-win-*) continue ;; esac
    if [[ "$beside" != *" $dll "* && "$system_dlls" != *" $dll "* ]]; then
      echo "${binary#"$dist"/} imports $dll, which is neither beside the programs nor part of Windows"
      status=1
    fi
  done
done < <(find "$dist" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)

if [ "$checked" -eq 0 ]; then
  echo "no executables or DLLs in $dist"
  exit 1
fi
[ "$status" -eq 0 ] && echo "all imports of $checked executables and DLLs resolve"
exit "$status"
