#!/bin/sh
# pictcrop, pictunpack, pictanimate, pictstack and pictmeasure on a 100-frame 640 x 480
# animated GIF, beside gifsicle and ImageMagick doing the same jobs on the same input.
# The GIF is meshorbit's turntable of the benchmark torus (cut to 640 x 480) when
# meshorbit and pictcrop are built, else a generated animation.
# usage: bench/pictures.sh   (after a Release build; BIN=... to point elsewhere)
set -eu
. "$(dirname "$0")/lib.sh"
CONVERT=/usr/bin/convert
command -v gifsicle >/dev/null || { echo "gifsicle is missing (apt-get install gifsicle)"; exit 1; }
[ -x "$CONVERT" ] || { echo "ImageMagick is missing (apt-get install imagemagick)"; exit 1; }

gif=$WORK/anim-100.gif
if [ ! -f "$gif" ]; then
  if [ -x "$BIN/meshorbit" ] && [ -x "$BIN/pictcrop" ]; then
    model=$WORK/torus-20k.stl
    /usr/bin/python3 "$(dirname "$0")/make-model.py" "$model" 20000
    echo "0 30 3.6 0 100" | "$BIN/meshorbit" "$model" -640 1 40 255 255 255 -1 0 0 200 200 200 "$WORK/orbit.gif"
    "$BIN/pictcrop" "$WORK/orbit.gif" 0 80 639 559 255 255 255 "$gif"
  else
    /usr/bin/python3 "$(dirname "$0")/make-anim.py" "$gif" 100
  fi
fi
echo "input: $gif ($(wc -c <"$gif") bytes, $(gifsicle --info "$gif" | head -1 | sed 's/.* \([0-9]* images\)/\1/'))"

rm -rf "$WORK/un" "$WORK/ex" "$WORK/tif" "$WORK/im"
mkdir -p "$WORK/un" "$WORK/ex" "$WORK/tif" "$WORK/im"

if [ -x "$BIN/pictcrop" ]; then
  crop=$(best_ms "$BIN/pictcrop $gif 100 50 499 349 0 0 0 $WORK/crop.gif")
  gs_crop=$(best_ms "gifsicle --crop 100,50+400x300 $gif -o $WORK/gs-crop.gif")
fi
unpack=$(best_ms "$BIN/pictunpack $gif $WORK/un/f%03d.gif")
gs_explode=$(best_ms "gifsicle --explode $gif -o $WORK/ex/f")
animate=$(best_ms "$BIN/pictanimate $WORK/un - 10 0 $WORK/anim.gif")
gs_merge=$(best_ms "gifsicle --delay 10 --loopcount=0 $WORK/un/f*.gif -o $WORK/gs-anim.gif")
stack=$(best_ms "$BIN/pictstack $gif $WORK/tif/f%03d.tif")
im_stack=$(best_ms "cd $WORK/im && $CONVERT $gif +adjoin -compress LZW f%03d.tif")
measure=$(best_ms "$BIN/pictmeasure $gif 255 255 255")
im_measure=$(best_ms "$CONVERT $gif -format %@ info:")

if [ -x "$BIN/pictcrop" ]; then
  compare "pictcrop vs gifsicle --crop" "$crop" "$gs_crop" 1
else
  echo "pictcrop: not built (needs the GIF writer)"
fi
compare "pictunpack vs gifsicle --explode" "$unpack" "$gs_explode" 0.5
compare "pictanimate vs gifsicle merge" "$animate" "$gs_merge" 1
compare "pictstack vs convert +adjoin -compress LZW" "$stack" "$im_stack" 0.5
compare "pictmeasure vs convert -format %@ info:" "$measure" "$im_measure" 0.5
