@ECHO OFF
SET PATH=%PATH%;C:\tools
IF EXIST "file.txt" GOTO done
