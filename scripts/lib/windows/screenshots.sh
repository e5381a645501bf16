# The screenshots of the README's Windows table: the program of the zip,
# unpacked, under Wine on a virtual X display, with Wine's stand-ins for
# Arial, Times New Roman and Courier New set to the metric-compatible
# Liberation faces (scripts/lib/wine-run.sh sets them in its Windows folder),
# so that each text is as wide as on Windows.
take_screenshots() {
  local folder=$out/screenshots shots=$repo/docs/screenshots
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && unzip -q "$out/$portable_name.zip")
  # Makes the Windows folder, with its font stand-ins, if it is not there.
  "$repo/scripts/lib/wine-run.sh" "$cache" cmd /c exit
  WINEPREFIX=$cache/wine xvfb-run -a -s "-screen 0 1280x960x24 -dpi 96" \
    "$repo/scripts/lib/windows/screenshot-session.sh" "$folder/$portable_name" "$folder"
  # Cut to the windows: the desktop's colour all round goes.
  convert "$folder/main.png" -fuzz 1% -trim +repage "$shots/windows-main.png"
  convert "$folder/devices.png" -fuzz 1% -trim +repage "$shots/windows-devices.png"
  echo "Screenshots: $shots/windows-main.png, $shots/windows-devices.png"
}
