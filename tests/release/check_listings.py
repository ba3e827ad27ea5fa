#!/usr/bin/env python3
"""Checks the winget manifest set (1.6.0, multi-file) and the Scoop manifest that
scripts/listings wrote into DIST against the rules the two package managers publish, and that
each hash is the file's. Prints one line per failed rule; exit code 1 when any failed.

usage: check_listings.py DIST VERSION
"""
import hashlib
import json
import os
import re
import sys

import yaml

dist, version = sys.argv[1], sys.argv[2]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def load(path):
    with open(path, encoding="utf-8") as f:
        return yaml.safe_load(f)


PACKAGE_ID = re.compile(r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}')
HTTPS = re.compile(r"https://[^\s/]+/\S*")
setup = os.path.join(dist, f"Tarnivex-{version}-setup.exe")
portable = os.path.join(dist, f"Tarnivex-{version}-portable.zip")

winget = os.path.join(dist, "winget")
names = {
    "version": "Tarnivex.Tarnivex.yaml",
    "installer": "Tarnivex.Tarnivex.installer.yaml",
    "defaultLocale": "Tarnivex.Tarnivex.locale.ko-KR.yaml",
    "locale": "Tarnivex.Tarnivex.locale.en-US.yaml",
}
check(sorted(os.listdir(winget)) == sorted(names.values()), f"winget/ holds {os.listdir(winget)}")
manifests = {}
for kind, name in names.items():
    data = load(os.path.join(winget, name))
    manifests[kind] = data
    check(isinstance(data, dict), f"{name}: not a mapping")
    check(data.get("ManifestType") == kind, f"{name}: ManifestType {data.get('ManifestType')!r}")
    check(data.get("ManifestVersion") == "1.6.0", f"{name}: ManifestVersion")
    ident = data.get("PackageIdentifier")
    check(ident == "Tarnivex.Tarnivex" and PACKAGE_ID.fullmatch(ident or ""),
          f"{name}: PackageIdentifier {ident!r}")
    check(data.get("PackageVersion") == version, f"{name}: PackageVersion {data.get('PackageVersion')!r}")

check(manifests["version"].get("DefaultLocale") == "ko-KR", "version: DefaultLocale is not ko-KR")

installer = manifests["installer"]
entries = installer.get("Installers") or []
check(len(entries) == 1, f"installer: {len(entries)} installer entries")
for entry in entries:
    merged = {**{k: v for k, v in installer.items() if k != "Installers"}, **entry}
    check(merged.get("Architecture") == "x64", "installer: Architecture")
    check(merged.get("InstallerType") == "nullsoft", "installer: InstallerType")
    check(merged.get("Scope") == "machine", "installer: Scope")
    url = merged.get("InstallerUrl", "")
    check(HTTPS.fullmatch(url) and url.endswith("/" + os.path.basename(setup)),
          f"installer: InstallerUrl {url!r}")
    digest = str(merged.get("InstallerSha256", ""))
    check(re.fullmatch(r"[0-9A-Fa-f]{64}", digest), "installer: InstallerSha256 is not 64 hex digits")
    check(digest.lower() == sha256(setup), "installer: InstallerSha256 is not the setup's")
    modes = merged.get("InstallModes") or []
    check("silent" in modes and set(modes) <= {"interactive", "silent", "silentWithProgress"},
          f"installer: InstallModes {modes!r}")
    switches = merged.get("InstallerSwitches") or {}
    # The switches the setup really takes: NSIS's /S.
    check(switches.get("Silent") == "/S", "installer: Silent switch")
    check(switches.get("SilentWithProgress") in (None, "/S"), "installer: SilentWithProgress switch")
    check(merged.get("UpgradeBehavior") == "install", "installer: UpgradeBehavior")
    apps = merged.get("AppsAndFeaturesEntries") or []
    # As the setup writes its uninstall entry.
    check(apps == [{"DisplayName": "Tarnivex", "Publisher": "Tarnivex", "DisplayVersion": version}],
          f"installer: AppsAndFeaturesEntries {apps!r}")

for kind, locale in (("defaultLocale", "ko-KR"), ("locale", "en-US")):
    data = manifests[kind]
    check(data.get("PackageLocale") == locale, f"{locale}: PackageLocale")
    for field in ("Publisher", "PackageName", "License", "ShortDescription"):
        value = data.get(field)
        check(isinstance(value, str) and value.strip(), f"{locale}: {field} missing")
    check(3 <= len(data.get("ShortDescription") or "") <= 256, f"{locale}: ShortDescription length")

with open(os.path.join(dist, "tarnivex.json"), encoding="utf-8") as f:
    scoop = json.load(f)
for field in ("version", "description", "homepage", "license", "url", "hash", "bin", "checkver",
              "autoupdate"):
    check(field in scoop, f"scoop: {field} missing")
check(scoop.get("version") == version, "scoop: version")
check(HTTPS.fullmatch(scoop.get("url", "")) and scoop["url"].endswith("/" + os.path.basename(portable)),
      f"scoop: url {scoop.get('url')!r}")
check(str(scoop.get("hash", "")).lower() == sha256(portable), "scoop: hash is not the zip's")
check(scoop.get("bin") == "Tarnivex.exe", "scoop: bin")
auto = (scoop.get("autoupdate") or {}).get("url", "")
check("$version" in auto and auto.replace("$version", version) == scoop.get("url"),
      f"scoop: autoupdate url {auto!r} does not give the url")
regex = (scoop.get("checkver") or {}).get("regex", "")
match = re.search(regex, os.path.basename(portable)) if regex else None
check(match and match.group(1) == version, "scoop: checkver regex does not find the version")

for failure in failures:
    print("FAIL:", failure)
print(f"listings: {len(failures)} rule(s) failed" if failures else "listings: all rules hold")
sys.exit(1 if failures else 0)
