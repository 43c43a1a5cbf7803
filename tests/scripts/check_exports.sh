#!/usr/bin/env bash
# libtrel must export its public entries and nothing else: trel::Error, the tracking and
# filtering entries, and the type information of the error. Prints any other symbol and fails.
set -euo pipefail
library=$1
allowed='^(trel::Error::|typeinfo for trel::Error$|typeinfo name for trel::Error$|vtable for trel::Error$|trel::FlsLabTracking\(|trel::KerfLabTracking\(|void trel::CEDFiltering<(float|double)>\()'
symbols=$(nm -DC --defined-only "$library" | cut -d' ' -f3-)
unexpected=$(grep -vE "$allowed" <<<"$symbols" || true)
if [ -n "$unexpected" ]; then
  echo "unexpected exports of $library:"
  echo "$unexpected"
  exit 1
fi
for needed in 'trel::Error::what() const' 'trel::FlsLabTracking(' 'void trel::CEDFiltering<float>(' \
              'void trel::CEDFiltering<double>('; do
  grep -qF "$needed" <<<"$symbols" || { echo "missing export: $needed"; exit 1; }
done
echo "exports of $library: $(wc -l <<<"$symbols") symbols, all public"
