@echo off
rem Vorelo's test kit: runs every test program in this folder, one at a time, prints a line
rem per program and a closing "N passed, M failed", and writes vorelo-tests-report.txt here.
rem Needs no installation and no administrator rights, and never powers the computer off.
rem While it runs, leave the keyboard and the mouse alone: the tests type into windows of
rem their own and check where the keys arrive.
setlocal
cd /d "%~dp0"
kit_runner.exe %*
set result=%errorlevel%
rem Started by a double-click, the window stays open until a key is pressed.
echo %cmdcmdline% | find /i "%~nx0" >nul && if not defined VORELO_NO_PAUSE pause
exit /b %result%
