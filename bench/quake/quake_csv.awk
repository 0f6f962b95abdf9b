# The earthquake summary feed (CSV) of quakes older than a day to marker lines, as the program
# converts it; the reference for the benchmark. Only the place is quoted in the feed: the text
# between the first and the last quote, its doubled quotes made single.
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
    # A label from magnitude 5.0 on, a marker growing with the magnitude; every quake older than
    # a day is yellow.
    size = 3
    label = ""
    if (f[5] != "") {
        size = int(f[5] * 1.5 - 1 + 0.5)
        size = size < 2 ? 2 : size > 14 ? 14 : size
        if (f[5] + 0 >= 5.0)
            label = sprintf("%s (%.1f)", place, f[5])
    }
    printf "%s %s \"%s\" color={255,255,0} symbolsize=%d\r\n", f[2], f[3], label, size
}
