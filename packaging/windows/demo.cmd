@echo off
rem Runs the examples as scripts/demo.sh does on Linux: the requests as
rem built, then delivered to the stand-in provider with its answers, a run it
rem refuses, and a baseline recorded and compared, with the run's page. Every
rem run says its exit status; the demo ends with 0 when each ended as it
rem should.
rem
rem The stand-in listens on 127.0.0.1, port 8080 unless DEMO_PORT names
rem another. The demo stops the stand-in it started, by its process id, and
rem no other: a tester's own keeps running.
setlocal
cd /d "%~dp0"
rem Settings of the tester's own would change what the runs do.
for %%v in (TRACE DELIVER RESPONSES REPORT HTML ECHO RECORD BASELINE BASELINE_RULES) do set MDPROVIDER_%%v=
if not defined DEMO_PORT set DEMO_PORT=8080
set failures=0
set running=0
set expect_line=

echo == The requests as built, delivered nowhere
rem The program moves into bin\ first: relative paths are taken from there.
call :set MDPROVIDER_TRACE=demo.trace
call :run 0 -t AC -c Demo -s ..\examples\action_log.xml -b2 -e4
call :run 0 -t MA -m Demo -s ..\examples\ma_query.xml
call :run 0 -t XS -m Demo -s ..\examples\stylesheet.xml

echo == Delivered to the stand-in provider
call :start_stand_in
if errorlevel 1 goto finish
call :set MDPROVIDER_TRACE=
rem The stand-in's address itself, not MDPROVIDER_DELIVER=1: the
rem configuration file may name a real provider by now.
call :set MDPROVIDER_DELIVER=http://127.0.0.1:%DEMO_PORT%/mdprovider
rem Each request with its answer; with no keys to read, the client goes on.
call :set MDPROVIDER_ECHO=1
rem The whole log: every transaction of it builds the provider's model.
call :run 0 -t AC -c Demo -s ..\examples\action_log.xml
call :run 0 -t MA -m Demo -s ..\examples\ma_query.xml
call :run 0 -t XS -m Demo -s ..\examples\stylesheet.xml
echo == A project the provider does not know: refused, and the status says so
call :run 1 -t MA -m Missing -s ..\examples\ma_query.xml

echo == A baseline: the answers recorded once, later runs compared with them
call :set MDPROVIDER_ECHO=
rem The project's name is no part of what a baseline pairs: each run
rem replays the log into a project of its own.
del /q bin\demo.baseline 2>nul
call :set MDPROVIDER_RECORD=demo.baseline
call :run 0 -t AC -c Recorded -s ..\examples\action_log.xml
if exist bin\demo.baseline goto recorded
echo FAILED: the run recorded no bin\demo.baseline
set /a failures+=1
goto compare
:recorded
echo (the baseline, bin\demo.baseline:)
type bin\demo.baseline
echo.
:compare
call :set MDPROVIDER_RECORD=
echo -- Again, with other times and ids: the rules mask them, nothing differs
call :set MDPROVIDER_BASELINE=demo.baseline
call :set MDPROVIDER_BASELINE_RULES=..\examples\baseline_rules.txt
call :run 0 -t AC -c Again -s ..\examples\action_log.xml
echo -- A provider that answers request 3 otherwise: the difference, and status 1
call :stop_stand_in
call :start_stand_in --differ 3
if errorlevel 1 goto finish
call :set MDPROVIDER_REPORT=demo-report.xml
call :set MDPROVIDER_HTML=demo-page.html
set expect_line=Differs from the baseline: 
call :run 1 -t AC -c Changed -s ..\examples\action_log.xml
set expect_line=
echo (the report, bin\demo-report.xml, with the difference as a failure:)
type bin\demo-report.xml
echo.
if exist bin\demo-page.html goto paged
echo FAILED: the run wrote no bin\demo-page.html
set /a failures+=1
goto finish
:paged
echo (the run's page, one file to open in a browser: %CD%\bin\demo-page.html)
echo.

:finish
if "%running%"=="1" call :stop_stand_in
if not "%failures%"=="0" goto failed
echo == Every step ended as it should
exit /b 0
:failed
echo == %failures% step(s) did not end as they should
exit /b 1

rem Sets a variable, saying so.
:set
echo ^> set %*
set %*
exit /b 0

rem Runs the client with the words after the first, which is the exit status
rem the run should end with. Standard error is shown after the run; it must
rem hold expect_line when that is set.
:run
set expected=%1
set words=%*
set words=%words:~2%
echo ^> bin\KesMDProviderClient.exe %words%
bin\KesMDProviderClient.exe %words% <nul 2>bin\demo.err
set status=%errorlevel%
type bin\demo.err 1>&2
echo (exit status %status%)
if not defined MDPROVIDER_TRACE goto shown
rem On a console the NUL after each request shows as a blank.
echo (requests in bin\demo.trace:)
type bin\demo.trace
echo.
:shown
if "%status%"=="%expected%" goto status_ok
echo FAILED: the run should have ended with exit status %expected%
set /a failures+=1
goto run_end
:status_ok
if "%expected%"=="0" goto run_end
echo (exit status %expected%, as expected)
if not defined expect_line goto run_end
find "%expect_line%" bin\demo.err >nul
if errorlevel 1 goto line_missing
echo (standard error says "%expect_line%...", as expected)
goto run_end
:line_missing
echo FAILED: standard error does not say "%expect_line%..."
set /a failures+=1
:run_end
echo.
exit /b 0

rem Starts the stand-in in the background with the flags given and waits
rem until it says it listens. One stopped a moment ago may hold the port a
rem little longer: a few attempts.
:start_stand_in
echo ^> start /b bin\mdprovider_stand_in.exe --port %DEMO_PORT% --pid-file bin\demo.pid %*
set attempts=0
:start_again
set /a attempts+=1
set waits=0
del /q bin\demo.pid 2>nul
rem It writes its process id before it says it listens.
start /b bin\mdprovider_stand_in.exe --port %DEMO_PORT% --pid-file bin\demo.pid %* >bin\demo.stand_in 2>&1
:wait_listening
rem It says one line: that it listens, or that it cannot.
set said=
for /f "usebackq delims=" %%l in ("bin\demo.stand_in") do set said=%%l
if "%said:~0,13%"=="listening on " goto listening
if defined said goto cannot_listen
set /a waits+=1
if %waits% geq 30 goto no_start
ping -n 2 127.0.0.1 >nul
goto wait_listening
:cannot_listen
if %attempts% geq 5 goto port_taken
ping -n 2 127.0.0.1 >nul
goto start_again
:port_taken
echo %said%
echo FAILED: port %DEMO_PORT% of 127.0.0.1 is taken; set DEMO_PORT=^<a free port^> and run demo.cmd again
set /a failures+=1
exit /b 1
:no_start
echo FAILED: the stand-in provider did not start
set /a failures+=1
set running=1
exit /b 1
:listening
echo %said%
set /p stand_in_pid=<bin\demo.pid
set running=1
exit /b 0

:stop_stand_in
echo ^> taskkill /pid %stand_in_pid% /f
taskkill /pid %stand_in_pid% /f >nul
if errorlevel 1 goto not_stopped
rem A process id left behind could name another process by the next run.
del /q bin\demo.pid 2>nul
set running=0
exit /b 0
:not_stopped
echo FAILED: the stand-in provider could not be stopped
set /a failures+=1
exit /b 1
