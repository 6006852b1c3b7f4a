#!/bin/bash
# Remakes the help files in this folder the way operators get them: saved by a browser (headless
# Chromium's MHTML snapshot) and by a word processor (LibreOffice's HTML export). Needs the Debian
# packages chromium and libreoffice-writer-nogui; neither the build nor the tests need them.
#
#   browser.mht         the page in UTF-8, saved as MHTML
#   browser-cp1251.mht  the page in windows-1251, declared by <meta http-equiv>
#   browser-koi8r.mht   the page in KOI8-R (its <meta charset> the browser rewrites as http-equiv)
#   writer.html         the page opened in Writer and saved as HTML, its picture embedded
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# A fixed folder, so that the locations the files record do not depend on where the tree lies.
work=/tmp/klimavox-help
rm -rf "$work"
mkdir -p "$work/profile"
cp "$here"/source/* "$work"/

sed 's|<meta charset="utf-8">|<meta http-equiv="Content-Type" content="text/html; charset=windows-1251">|' \
    "$work/page.html" | iconv -f UTF-8 -t WINDOWS-1251 > "$work/page-cp1251.html"
sed 's|<meta charset="utf-8">|<meta charset="koi8-r">|' "$work/page.html" |
    iconv -f UTF-8 -t KOI8-R > "$work/page-koi8r.html"

python3 "$here/capture-mhtml.py" "$work/page.html" "$here/browser.mht"
python3 "$here/capture-mhtml.py" "$work/page-cp1251.html" "$here/browser-cp1251.mht"
python3 "$here/capture-mhtml.py" "$work/page-koi8r.html" "$here/browser-koi8r.mht"

soffice -env:UserInstallation="file://$work/profile" --headless --infilter="HTML (StarWriter)" \
    --convert-to 'html:HTML (StarWriter):{"EmbedImages":{"type":"boolean","value":"true"}}' \
    --outdir "$work/writer" "$work/page.html" > /dev/null
cp "$work/writer/page.html" "$here/writer.html"
rm -rf "$work"
