# Folds a run of lines that differ only in coordinates and texts into the first and the others' values.
function at(s,  out, v) {
    while (match(s, / (x|y|x1|y1|x2|y2|cx|cy)="[^"]*"|>[^< ][^<]*</)) {
        v = substr(s, RSTART, RLENGTH); sub(/^ ?[a-z0-9]*=?"?>?/, "", v); sub(/["<]$/, "", v)
        out = out (out == "" ? "" : ",") v; s = substr(s, RSTART + RLENGTH)
    }
    return out
}
{ t = $0; gsub(/ (x|y|x1|y1|x2|y2|cx|cy)="[^"]*"|>[^< ][^<]*</, "#", t) }
t == last { more = more " " at($0); n++; next }
{ if (n) print "| ...and " n " more at" more; print "|" $0; last = t; n = 0; more = "" }
END { if (n) print "| ...and " n " more at" more }
