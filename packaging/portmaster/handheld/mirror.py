"""The Debian mirror this machine's apt already uses, so that a local mirror, a
package cache or a proxy serves the handheld's packages too."""

import glob
import re

SOURCES = "/etc/apt/sources.list"
SOURCES_D = "/etc/apt/sources.list.d"


def _entries(root=""):
    """(types, uris, suites) of each source apt has, in the order apt reads them."""
    out = []
    try:
        for line in open(root + SOURCES):
            # "deb [options] URI SUITE COMPONENT..."
            line = re.sub(r"\[[^]]*\]", " ", line.split("#", 1)[0]).split()
            if len(line) >= 3 and line[0] == "deb":
                out.append((["deb"], [line[1]], [line[2]]))
    except FileNotFoundError:
        pass
    for path in sorted(glob.glob(root + SOURCES_D + "/*.sources")):
        for stanza in re.split(r"\n\s*\n", open(path).read()):
            fields = {}
            for l in stanza.splitlines():
                if l.startswith("#") or ":" not in l or l[0].isspace():
                    continue
                k, v = l.split(":", 1)
                fields[k.strip().lower()] = v.split()
            if fields.get("enabled", ["yes"])[0].lower() == "no":
                continue
            out.append((fields.get("types", []), fields.get("uris", []), fields.get("suites", [])))
    return out


def debian_mirror(root=""):
    """The first source that serves Debian's main archive (not its security
    updates) by a suite's own name, or None."""
    for types, uris, suites in _entries(root):
        if "deb" not in types:
            continue
        if any(re.fullmatch(r"[a-z]+", s) for s in suites):
            for uri in uris:
                if "security" not in uri:
                    return uri.rstrip("/")
    return None
