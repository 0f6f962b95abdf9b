#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into fuzz/corpus/<target>/.

Inputs that once broke a target are kept beside these seeds under their own names; this
script leaves them alone.

Targets that split their input with FuzzedDataProvider take strings from the front (a lone
backslash ends one) and numbers from the back; the helpers below lay seeds out that way, so
each seed starts the fuzzer on a meaningful case.
"""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
CORPUS = HERE.parent / "corpus"


def fdp_string(text: bytes) -> bytes:
    """A string as ConsumeRandomLengthString reads it, ended explicitly."""
    return text.replace(b"\\", b"\\\\") + b"\\\n"


def fdp_int(value: int, low: int, high: int) -> bytes:
    """The trailing bytes from which ConsumeIntegralInRange(low, high) reads `value`.

    Numbers are read from the end of the input, the last byte the most significant one (so the
    bytes lie in little-endian order); place the bytes of the first number read last.
    """
    span = high - low
    raw = value - low
    out = bytearray()
    shift = 0
    while shift < 64 and (span >> shift) > 0:
        out.append((raw >> shift) & 0xFF)
        shift += 8
    return bytes(out)


def write(target: str, name: str, data: bytes) -> None:
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def data_file(path: str) -> bytes:
    return (ROOT / "tests" / "data" / path).read_bytes()


def ini_seeds() -> None:
    files = {
        "handwritten": data_file("settings/handwritten.ini"),
        "grid": data_file("settings/grid.ini"),
        "bom-crlf": b"\xef\xbb\xbf[Config]\r\nFile=xplanet\r\n\r\n[Time]\r\nHow often=0\r\nTime 0=12:00\r\n",
        "duplicates": b"File=before any section\n[config]\nfile=a\n[CONFIG]\nFILE=b\n[ Config ]\n;File=c\n",
        "numbers": b"[Config]\nCount=$FFFFFFFF\nVersion=0x7fffffff\nTime 0=-2147483648\n0,1=+5\nFile=0x\n",
        "long-value": b"[Config]\nFile=" + b"x" * 3000 + b"\n[Time]\n",
        "odd-lines": b"[Config\n]x\n[]\n=value only\nkey only\n\r\r\n[Globewall]extra\nVersion = 1 \n",
    }
    for i, (name, body) in enumerate(files.items()):
        value = [b"C:\\Programs\\xplanet.exe", b"  padded  ", b"two\r\nlines", b"", b"\xff\xfe bytes"][i % 5]
        write("ini_file", name, fdp_string(value) + fdp_string(body) + bytes([i % 8, i % 8]))


def settings_seeds() -> None:
    for name in ("handwritten.ini", "grid.ini", "second.ini"):
        write("settings_load", name, data_file("settings/" + name))
    write("settings_load", "lists",
          b"[Time]\r\nHow often=9999\r\nTime 0=07:00\r\n[TimeServer]\r\nCount=2\r\nServer  0=a\r\nChecked 0=1\r\n"
          b"Server  1=b\r\n[Download]\r\n0,1=http://127.0.0.1/x\r\n1,1=/tmp/x\r\n1,049=last\r\n0,50=off\r\n$1,2=hex\r\n")
    write("settings_load", "password",
          b"[Config]\r\nProxy Password=!00FF0D0A\r\nUse Proxy=1\r\nProxy Port=-1\r\nStartEvery=0\r\n"
          b"Icon Font Color=-1\r\nHTTP Protocol Version=HTTP/1.0\r\n")
    write("settings_load", "parameters",
          b"[Parameter selection]\r\nProjection=nonsense\r\nRotate=-5\r\nCenter X=99999\r\n"
          b"[New Parameter]\r\nBody=pluto\r\nRadius=1000\r\norigin above=1\r\nrandom viewpoint=1\r\n"
          b"[Satellites]\r\nSatellite 0=iss\r\nSatellite 5=gap\r\n[Markerfiles]\r\nMarkerfile 0=quake.marker\r\n")


def quake_seeds() -> None:
    quake = data_file("quake/quake.asc")
    write("quake_list", "sample", quake)
    write("quake_list", "crlf", quake.replace(b"\n", b"\r\n"))
    write("quake_list", "header-only", b"yy/mm/dd hh:mm:ss   lat     lon     dep  mag     region\n")
    write("quake_list", "short-lines",
          b"yy/mm/dd hh:mm:ss\n24/01/01 12:34:56  35.50N 139.80E\n24/01/01 12:34:56  1.5.S  ..W   1 2\n\n")


def json_feed_seeds() -> None:
    # The last bytes pick the feed (0 aurora, 1 storms, 2 earthquakes, 3 volcanoes, 4 wildfires,
    # 5 the tracker's storms, 6 the storm layer's merge), the reader's pieces, its string limit
    # and the aurora threshold.
    def settings(feed: int, piece: int, max_string: int, threshold: int = 10) -> bytes:
        return (fdp_int(threshold, -10, 110) + fdp_int(max_string, 1, 256) + fdp_int(piece, 1, 64)
                + fdp_int(feed, 0, 6))

    aurora = (b'{"Observation Time": "2026-12-08T08:00:00Z", "Data Format": "[Longitude, Latitude, Aurora]", '
              b'"coordinates": [[0, 60, 15], [200, -70, 90], [359, 90, 100], [10, 91, 50], [5, 5], "x"]}')
    geojson = (b'{"type":"FeatureCollection","metadata":{"count":2},"features":[{"type":"Feature",'
               b'"properties":{"mag":4.5,"place":"120 km SSE of \\"Kokopo\\", Papua New Guinea"},'
               b'"geometry":{"type":"Point","coordinates":[152.1,-5.2,10]}},'
               b'{"properties":{"mag":null,"place":"a\\u00e9\\ud83d\\ude00\\ud800x\\t"},'
               b'"geometry":{"coordinates":[-181,0]}}]}')
    numbers = (b'{"x":[[[[{"a":[true,false,null,"\\b\\f\\n\\r\\/"]}]]]],'
               b'"coordinates":[[-0,1e400,1.5E+2],[1e-400,-1e-400,100],[359.5,-0.0,12]]}')
    write("json_feeds", "aurora", aurora + settings(0, 3, 64))
    write("json_feeds", "storms", data_file("feeds/CurrentStorms.json") + settings(1, 7, 200))
    write("json_feeds", "geojson", geojson + settings(2, 1, 256))
    write("json_feeds", "numbers-escapes", numbers + settings(0, 64, 4, 100))
    write("json_feeds", "broken", b'{"activeStorms":[{"name":"Ana","latitudeNumeric":1' + settings(1, 5, 16))
    events = data_file("feeds/eonet-storms.json")
    write("json_feeds", "eonet-volcanoes", data_file("feeds/eonet-volcanoes.json") + settings(3, 9, 256))
    write("json_feeds", "eonet-wildfires", events.replace(b"severeStorms", b"wildfires").replace(b"kts", b"acres")
          + settings(4, 13, 128))
    write("json_feeds", "eonet-storms", events + settings(5, 5, 200))
    write("json_feeds", "eonet-storm-layer", events + settings(6, 11, 256))
    polygon = (b'{"features":[{"properties":{"id":"P","title":"A\\"B\\nC","magnitudeValue":"x"},'
               b'"geometry":{"type":"Polygon","coordinates":[[[179,1],[-179,1],[-179,3],[179,1]],[[0,0]]]}}]}')
    write("json_feeds", "eonet-polygon", polygon + settings(3, 2, 64))


def config_seeds() -> None:
    system = pathlib.Path("/usr/share/xplanet/config/default")
    default = system.read_bytes()[:6000] if system.exists() else b""
    configs = {
        "default": default,
        "earth": b"[default]\nmarker_color=red\n\n[earth]\n\"Earth\"\ncolor={28, 82, 110}\nmap=earth.jpg\n"
                 b"marker_file=earth\nmarker_file=quake.marker\nmagnify=2\n# comment\n[moon]\ncolor={100,100,100}\n",
        "crlf-latin1": b"[earth]\r\nmap=\xe9t\xe9.jpg\r\ncloud_map=clouds.jpg # night\r\n[earthx]\r\n",
        "lone-cr": b"[earth]\rmarker_file=a\rorbit_color={255,255,255}\r\r[moon]",
        "bad-values": b"[earth]\nmagnify=99999999999999999999\ncolor={28 ,82,110}\norbit_color={1,2}\n",
    }
    colours = [b"{255,0,0}", b"{28 ,82,110}", b"{ 1, 2, 3}", b"{300,0,0}", b"-2147483648"]
    for i, (name, body) in enumerate(configs.items()):
        values = fdp_string(b"quake.marker") + fdp_string(b"") if i % 2 else fdp_string(b"new.jpg")
        count = 2 if i % 2 else 1
        write("config_text", name, values + fdp_string(colours[i]) + fdp_string(body) + bytes([count, i % 5, i % 6]))


def update_seeds() -> None:
    ini = (b"[Globewall]\r\nVersion=1.1.3.70\r\nBeta=\r\n"
           b"URL1=http://127.0.0.1:8080/soft/globewall_1_1_3_70.zip\r\nURL2=http://127.0.0.1/count\r\n"
           b"Description=Bug fixes\r\nDate=01.02.2024\r\n")
    write("update_info", "newer", fdp_string(b"1.1.3.68") + fdp_string(b"") + fdp_string(b"http://host/x/y.tar.gz") + ini)
    write("update_info", "beta", fdp_string(b"1.1.3.70") + fdp_string(b"a") + fdp_string(b"globewall_")
          + ini.replace(b"Beta=", b"Beta=b"))
    write("update_info", "odd-urls", fdp_string(b"") + fdp_string(b"") + fdp_string(b"http://[::1]:99999/a.b/c")
          + b"[GLOBEWALL]\nversion=\nurl1=globewall_/..x\n")


def ntp_reply(mode: int, stratum: int, leap: int = 0, receive: int = 0xE9B0_0000_8000_0000,
              transmit: int = 0xE9B0_0001_0000_0000) -> bytes:
    packet = bytearray(48)
    packet[0] = (leap << 6) | (3 << 3) | mode
    packet[1] = stratum
    packet[32:40] = struct.pack(">Q", receive)
    packet[40:48] = struct.pack(">Q", transmit)
    return bytes(packet)


def ntp_seeds() -> None:
    # The last bytes pick the local times; an odd total makes the reply echo our request.
    times = fdp_int(10_000, 0, 10_000_000) + fdp_int(1_700_000_000_000_000, -61505152 * 10**6, 4233462143 * 10**6)
    write("ntp_reply", "usable", ntp_reply(4, 2) + b"\x00" + times)
    write("ntp_reply", "alarm", ntp_reply(4, 2, leap=3) + b"\x00" + times)
    write("ntp_reply", "kiss", ntp_reply(4, 0) + b"\x00" + times)
    write("ntp_reply", "client-mode", ntp_reply(3, 2) + b"\x00" + times)
    write("ntp_reply", "era-2036", ntp_reply(4, 1, receive=0x0000_0010_0000_0000, transmit=0x0000_0011_0000_0000)
          + b"\x00" + times)
    write("ntp_reply", "short", ntp_reply(4, 2)[:47] + times)


def command_line_seeds() -> None:
    lines = {
        "plain": b"-body earth -projection orthographic -geometry 1024x768",
        "quoted": b"\"/opt/x planet/xplanet\" -config \"my config\" -label -labelpos +15+15",
        "backslashes": b"a\\\\\\\"b \"c\\\\\" d\\e \"\" \"unclosed \\\"x",
        "doubled": b"\"say \"\"hi\"\"\"\tnext",
        "separated": b"xplanet\x1f-marker_file\x1fa \"b\"\x1f\x1fc\\",
    }
    for name, text in lines.items():
        write("command_line", name, text)


def http_seeds() -> None:
    redirect = (b"HTTP/1.1 302 Found\r\nLocation: /b\r\n\r\n"
                b"HTTP/1.1 200 OK\r\nLast-Modified: Wed, 21 Oct 2015 07:28:00 GMT\r\nContent-Length: 5\r\n\r\n")
    tunnel = (b"HTTP/1.1 200 Connection established\r\n\r\n"
              b"HTTP/1.0 404 Not Found\r\nlast-modified: Sunday, 06-Nov-94 08:49:37 GMT\r\n\r\n")
    odd = b"garbage\nHTTP/\nLast-Modified: Sun Nov  6 08:49:37 1994\n   \nX: after blank\n"
    for name, text, time in (("redirect", redirect, 1445412480), ("tunnel", tunnel, -1),
                             ("odd", odd, 0x7FFF_FFFF_FFFF_FFFF), ("autumn", b"HTTP/1.1 200 OK\r\n\r\n", 1698541200)):
        write("http_headers", name, fdp_string(text) + fdp_int(time, -2**63, 2**63 - 1))


if __name__ == "__main__":
    ini_seeds()
    settings_seeds()
    quake_seeds()
    json_feed_seeds()
    config_seeds()
    update_seeds()
    ntp_seeds()
    command_line_seeds()
    http_seeds()
