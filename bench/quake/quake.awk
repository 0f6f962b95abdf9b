# The earthquake list to marker lines, as the program converts it; the reference for the
# benchmark. Lines end with CR LF; fields are trimmed of blanks and control characters.
function trim(s) {
    gsub(/^[[:cntrl:] ]+|[[:cntrl:] ]+$/, "", s)
    return s
}
seen {
    lat = trim(substr($0, 18, 7))
    lon = trim(substr($0, 26, 7))
    if (lat !~ /^[0-9.]*[0-9][0-9.]*$/ || lon !~ /^[0-9.]*[0-9][0-9.]*$/)
        next
    if (substr($0, 25, 1) == "S") lat = "-" lat
    if (substr($0, 33, 1) == "W") lon = "-" lon
    printf "%s %s \"%s (%s)\" color=green\r\n", lat, lon, substr($0, 50), trim(substr($0, 41, 3))
    next
}
index($0, "yy/mm/dd hh:mm:ss") { seen = 1 }
