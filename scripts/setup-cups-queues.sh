#!/bin/sh
# Starts a CUPS scheduler with the two queues the CUPS printing tests use:
#   ostrel-pdf     a cups-pdf queue that accepts jobs (PDFs land in ~/PDF)
#   ostrel-reject  a queue that refuses every job
# Needs the Debian packages cups, cups-client and printer-driver-cups-pdf, and root.
set -eu
missing=""
for p in cups cups-client printer-driver-cups-pdf; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi
# lpstat -r answers 0 whether or not the scheduler runs: read what it says.
running() { lpstat -r 2>/dev/null | grep -q "is running"; }
if ! running; then
  mkdir -p /run/cups  # the socket folder, missing where no init system made it
  # In the foreground of a session of its own: a daemonising cupsd does not
  # outlive the shell that started it here.
  setsid nohup cupsd -f >/dev/null 2>&1 </dev/null &
  for _ in 1 2 3 4 5 6 7 8 9 10; do running && break; sleep 1; done
fi
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
lpadmin -p ostrel-pdf -E -v cups-pdf:/ -P "$ppd"
lpadmin -p ostrel-reject -E -v cups-pdf:/ -P "$ppd"
cupsreject -r "refusing jobs for the tests" ostrel-reject
lpstat -a
