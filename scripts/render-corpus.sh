#!/usr/bin/env bash
# Renders every sample picture of the corpus (the files its INDEX.tsv lists)
# through picture2png, so a change to a decoder or to the metafile code can
# be checked byte for byte against the renders taken before it.
#
#   bash scripts/render-corpus.sh OUTDIR            render into OUTDIR
#   bash scripts/render-corpus.sh OUTDIR BEFOREDIR  render, then list every
#                                                   file that differs
# FORMATS="wmf emf" renders only those formats (INDEX.tsv's format column).
# The corpus comes from $OSTREL_CORPUS (default /work/shared/corpus); the tool
# from $PICTURE2PNG (default build/tools/picture2png/picture2png). A file the
# tool refuses leaves its error text in OUTDIR/NAME.err instead of a PNG.
set -uo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: render-corpus.sh OUTDIR [BEFOREDIR]}
before=${2:-}
corpus=${OSTREL_CORPUS:-/work/shared/corpus}
tool=${PICTURE2PNG:-build/tools/picture2png/picture2png}
formats=" ${FORMATS:-bmp emf gif ico jpeg wmf} "
[[ -x $tool ]] || { echo "no $tool: build the picture2png target first"; exit 1; }
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
count=0
while IFS=$'\t' read -r path format _; do
  [[ $path == path || $formats != *" $format "* ]] && continue
  name=${path//\//__}
  rm -f "$out/$name.png" "$out/$name.err"
  if ! timeout 20 "$tool" "$corpus/$path" "$out/$name.png" 2>"$out/$name.err"; then
    rm -f "$out/$name.png"
  else
    rm -f "$out/$name.err"
  fi
  count=$((count + 1))
done <"$corpus/INDEX.tsv"
echo "rendered $count files into $out"
[[ -n $before ]] || exit 0
diffs=$( (cd "$before" && ls; cd "$OLDPWD" && cd "$out" && ls) | sort -u | while IFS= read -r base; do
  cmp -s "$before/$base" "$out/$base" 2>/dev/null || echo "differs: $base"
done)
[[ -z $diffs ]] && { echo "all renders identical to $before"; exit 0; }
echo "$diffs"
exit 1
