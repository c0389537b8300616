// An error in a function of a loaded file reports that file's name and line.
print("loaded", load("error_loaded.inc"), load("no such file.inc"))
fromLoadedFile()
