# The earthquake summary feed (CSV) to marker lines, as the program converts it; the reference
# for the benchmark. Only the place is quoted in the feed: the text between the first and the
# last quote, its doubled quotes made single.
NR == 1 { next }
{
    n = split($0, q, "\"")
    if (n < 3) {
        split($0, f, ",")
        place = f[14]
    } else {
        split(q[1], f, ",")
        place = q[2]
        for (i = 3; i < n; i++)
            place = place "\"" q[i]
        gsub(/""/, "\"", place)
    }
    if (f[2] !~ /^-?[0-9.]+$/ || f[3] !~ /^-?[0-9.]+$/)
        next
    gsub(/"/, "'", place)
    gsub(/[[:cntrl:]]/, " ", place)
    printf "%s %s \"%s (%s)\" color=green\r\n", f[2], f[3], place, (f[5] == "" ? "?" : sprintf("%.1f", f[5]))
}
