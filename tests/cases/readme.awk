# Turns the README into a shelltest table: each "$ " line of a console block
# with the lines under it as its standard output (any standard error), and
# each sh block marked runnable as one command that must end with status 0.
/^<!-- runnable -->$/ { runnable = 1; next }
/^```console$/ { block = "console"; next }
/^```sh$/ { block = runnable ? "sh" : ""; runnable = 0; cmd = ""; next }
/^```$/ {
    if (block == "console" && open) print ">2 /.*/\n>= 0\n"
    if (block == "sh") print "$ " cmd "\n>2 /.*/\n>= 0\n"
    block = ""; open = 0; next
}
{ runnable = 0 }
block == "console" && /^\$ / {
    if (open) print ">2 /.*/\n>= 0\n"
    print; open = 1; next
}
block == "console" && open { print; next }
block == "sh" { line = $0; sub(/\\$/, "", line); cmd = cmd line; next }
