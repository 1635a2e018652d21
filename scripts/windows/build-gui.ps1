# Builds the desktop program on a Windows machine and gathers it into a
# self-contained folder, dist\Movan Zeza Dera\, ready to copy or zip.
#
# Needs: CMake and Ninja on PATH, a Qt 6 kit (MinGW or MSVC) and its
# compiler on PATH (for MSVC: a "x64 Native Tools" prompt).
#
#   powershell -ExecutionPolicy Bypass -File scripts\windows\build-gui.ps1 -QtDir C:\Qt\6.5.3\mingw_64
param(
    [string]$QtDir = $env:QTDIR,
    [string]$BuildDir = "build-windows-gui"
)
$ErrorActionPreference = "Stop"
$root = Resolve-Path (Join-Path $PSScriptRoot "..\..")
if (-not $QtDir -or -not (Test-Path (Join-Path $QtDir "bin\windeployqt.exe"))) {
    throw "Give -QtDir (or set QTDIR) to a Qt 6 kit, the folder that holds bin\windeployqt.exe"
}

cmake -S $root -B $BuildDir -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_PREFIX_PATH=$QtDir" -DZD_BUILD_TESTS=OFF
if ($LASTEXITCODE -ne 0) { throw "cmake could not configure the build" }
cmake --build $BuildDir --target zeza-dera zeza-dera-cli
if ($LASTEXITCODE -ne 0) { throw "the build failed" }

$dist = Join-Path $root "dist\Movan Zeza Dera"
New-Item -ItemType Directory -Force $dist | Out-Null
Copy-Item (Join-Path $BuildDir "pages\zeza-dera.exe"), (Join-Path $BuildDir "cli\zeza-dera-cli.exe") $dist
& (Join-Path $QtDir "bin\windeployqt.exe") --release --no-translations (Join-Path $dist "zeza-dera.exe")
if ($LASTEXITCODE -ne 0) { throw "windeployqt failed" }

# The Help button opens "Movan Zeza Dera.chm" beside the program, or the
# HTML page when no compiled help is there. The build fills the version into
# the page and puts the HTML Help project beside it.
$help = Join-Path $BuildDir "resources\help"
$hhc = Join-Path ${env:ProgramFiles(x86)} "HTML Help Workshop\hhc.exe"
if (Test-Path $hhc) {
    & $hhc (Join-Path $help "zeza_dera.hhp")
    # hhc reports success with exit code 1.
    if ($LASTEXITCODE -ne 1) { throw "the HTML Help compiler failed" }
    Move-Item -Force (Join-Path $help "Movan Zeza Dera.chm") $dist
} else {
    Write-Host "HTML Help Workshop not found: shipping the help as HTML"
    Copy-Item (Join-Path $help "Movan Zeza Dera.html") $dist
}
Write-Host "Built: $dist"
