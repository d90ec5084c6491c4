# shellcheck shell=bash
# Sourced by the screenshot scripts: the tools they need (Xvfb, xdotool to click, ImageMagick's
# import to take the picture) and a virtual X server of their own. The caller defines `say`
# and `work`; start_screen sets `xvfb_pid` (for the caller's cleanup) and DISPLAY.

install_screen_tools() {
    local need=() sudo=()
    command -v Xvfb > /dev/null || need+=(xvfb)
    command -v xdotool > /dev/null || need+=(xdotool)
    command -v import > /dev/null || need+=(imagemagick)
    if [ "${#need[@]}" -gt 0 ]; then
        say "installing ${need[*]}"
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        "${sudo[@]}" apt-get install -y -q --no-install-recommends "${need[@]}" > /dev/null
    fi
}

# On the first free display from :90 on; returns once the server answers.
start_screen() {
    local display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do
        xdotool getmouselocation > /dev/null 2>&1 && break
        sleep 0.1
    done
}
