#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes CHANGELOG.md (headings "## VERSION - YYYY-MM-DD", then "- " items) in the Debian changelog
# format the package carries in /usr/share/doc/lunark/changelog.gz.
set -euo pipefail
maintainer="Lunark developers <maintainers@users.noreply.c-seed-e8eb2fc9.example>"
awk -v maintainer="$maintainer" '
  function close_entry() {
    if (version != "") {
      cmd = "date -R -u -d \"" date " 12:00:00\""; cmd | getline stamp; close(cmd)
      printf "\n -- %s  %s\n\n", maintainer, stamp
    }
  }
  /^## / {
    close_entry()
    version = $2; date = $4
    printf "lunark (%s) unstable; urgency=medium\n\n", version
    next
  }
  /^- / && version != "" { sub(/^- /, ""); printf "  * %s\n", $0; item = 1; next }
  /^  [^ ]/ && item && version != "" { sub(/^  /, ""); printf "    %s\n", $0; next }
  { item = 0 }
  END { close_entry() }
' "$1"
