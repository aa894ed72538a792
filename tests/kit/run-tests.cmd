@echo off
rem Vorelo's test kit: kit_runner.exe runs the tests, says in Chinese and English what will
rem happen and waits for a key first, and writes vorelo-tests-report.txt here. This file keeps
rem to ASCII until it has switched the console to UTF-8: cmd reads it in the console's code page.
rem pushd works from a network folder (it lends the folder a drive letter for the run), and the
rem quotes keep a folder name with spaces, & or Chinese in it whole.
setlocal
pushd "%~dp0"
if errorlevel 1 exit /b 1
if not exist "kit_runner.exe" goto not_unpacked
".\kit_runner.exe" %*
set "result=%errorlevel%"
popd
exit /b %result%

:not_unpacked
rem Double-clicked inside the zip: Explorer has copied this file alone into a temporary folder.
for /f "tokens=2 delims=:." %%c in ('chcp') do set "codepage=%%c"
chcp 65001 >nul
echo 请先解压再运行：把整个 zip 解压到一个新文件夹，再双击其中的 run-tests.cmd。
echo Unzip first: extract the whole zip into a new folder, then run run-tests.cmd there.
chcp %codepage% >nul
popd
pause
exit /b 1
