#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the README's pictures: the main window after one capture of a
# Japanese contact form, taken on a virtual X server (Xvfb), so it runs on a
# machine without a screen and gives the same picture every time.
#
#   tools/screenshot.sh [--scale S] [--xft-dpi] [--window-manager] [--form KIND] [--output FILE]
#
#   --scale S         the screen's scale: 1 (the default), 1.25, 1.5, 2...
#                     Given to Qt as QT_SCALE_FACTOR, as a user sets it.
#   --xft-dpi         give the scale as the X resource Xft.dpi (96 x S)
#                     instead, as desktops set it for a scaled screen.
#   --window-manager  run a window manager (openbox) on the virtual screen,
#                     so the windows get frames and are placed by it.
#   --form KIND       the body posted: urlencoded (the default), multipart
#                     (the same form with a file attached), text-plain, or
#                     json (a script's application/json body).
#   --then-code CODE  after the picture, click the code button CODE (euc, sjis
#                     or utf8), which shows the same capture again in that
#                     code, and take a second picture, FILE with -CODE added.
#   --output FILE     where the picture goes; by default
#                     docs/postori-main-window.png at scale 1 and
#                     docs/postori-main-window-<percent>.png otherwise.
#
# Installs what is missing, builds the `app` preset, starts Xvfb and postori,
# presses 取得開始, posts the form with curl, closes the 取得成功 message and
# saves the main window. Every process it starts is ended when it exits; it
# exits non-zero, saying which step failed, when something goes wrong.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly PORT=9250

die() {
    echo "screenshot.sh: $*" >&2
    exit 1
}

scale=1
use_xft_dpi=false
use_window_manager=false
form=urlencoded
then_code=
output=
while [ $# -gt 0 ]; do
    case $1 in
    --scale) [ $# -ge 2 ] || die "--scale needs a value"; scale=$2; shift 2 ;;
    --xft-dpi) use_xft_dpi=true; shift ;;
    --window-manager) use_window_manager=true; shift ;;
    --form) [ $# -ge 2 ] || die "--form needs a kind"; form=$2; shift 2 ;;
    --then-code) [ $# -ge 2 ] || die "--then-code needs a code"; then_code=$2; shift 2 ;;
    --output) [ $# -ge 2 ] || die "--output needs a file"; output=$2; shift 2 ;;
    *) die "unknown argument '$1' (see the head of this script)" ;;
    esac
done
case $form in urlencoded | multipart | text-plain | json) ;; *) die "--form takes urlencoded, multipart, text-plain or json, not '$form'" ;; esac
# Each code button's middle in the main window's dialog units (282 x 232).
case $then_code in
'') ;;
euc) button_at=(207 36) ;;
sjis) button_at=(207 46) ;;
utf8) button_at=(207 57) ;;
*) die "--then-code takes euc, sjis or utf8, not '$then_code'" ;;
esac
[[ $scale =~ ^[0-9]+(\.[0-9]+)?$ ]] || die "--scale takes a number such as 1.5, not '$scale'"
percent=$(awk -v s="$scale" 'BEGIN { printf "%d", s * 100 + 0.5 }')
[ "$percent" -ge 50 ] && [ "$percent" -le 400 ] || die "--scale must lie between 0.5 and 4"
if [ -z "$output" ]; then
    if [ "$percent" -eq 100 ]; then
        output=docs/postori-main-window.png
    else
        output=docs/postori-main-window-$percent.png
    fi
fi
# How long to wait for each window, in seconds. Generous: a cold start of Qt
# on a loaded machine can take a few seconds.
readonly WINDOW_TIMEOUT=20

# --- Clean-up ------------------------------------------------------------
# Set up before anything is started, so that every exit path (a failed step,
# Ctrl+C) ends the processes this script started, by their ids, and removes
# its scratch directory.
work=$(mktemp -d)
xvfb_pid=
wm_pid=
app_pid=
cleanup() {
    local status=$?
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
    if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null || true; wait "$wm_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    # The logs say why a step failed; show them before they go.
    if [ "$status" -ne 0 ]; then
        for log in "$work"/*.log; do
            [ -s "$log" ] || continue
            echo "--- $(basename "$log") ---" >&2
            tail -n 20 "$log" >&2
        done
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'echo "screenshot.sh: interrupted" >&2; exit 130' INT
trap 'echo "screenshot.sh: terminated" >&2; exit 143' TERM

# --- Tools and the program -----------------------------------------------
scripts/install-deps.sh screenshot
cmake --preset app >/dev/null
cmake --build --preset app
app=build/app/app/postori
[ -x "$app" ] || die "the build did not produce $app"

# postori listens on a fixed port: a second instance (or anything else) on it
# would take the form instead. Bash's /dev/tcp tries a connection without
# needing another tool.
if (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null; then
    die "something already listens on port $PORT (a running postori?); end it first"
fi

# xdotool matches window names (Japanese ones too) through the C library's
# locale, and Qt warns without a UTF-8 one: use the one every Debian has.
export LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
# Qt wants a private run-time directory and warns when there is none (root
# under sudo, a container); a scratch one keeps its log quiet.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
fi

# --- Virtual X server ----------------------------------------------------
# The first free display from :90 up, out of the way of real ones. A display
# is taken when its socket or lock file exists; if another program takes the
# same number at the same moment, Xvfb fails and the next number is tried.
# Access needs a fresh cookie (xauth), so other local users cannot connect.
export XAUTHORITY=$work/Xauthority
touch "$XAUTHORITY"
start_xvfb() {
    local n cookie
    for ((n = 90; n < 200; n++)); do
        if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then
            continue
        fi
        cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
        xauth -q add ":$n" . "$cookie"
        # 24-bit colour and 96 dpi: the picture looks as on a usual desktop.
        # No reset when the last client leaves: the X server would drop the
        # resources set for the scale before postori connects.
        Xvfb ":$n" -screen 0 1280x1024x24 -dpi 96 -noreset -nolisten tcp -auth "$XAUTHORITY" >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        # Ready when a client can connect; given up when Xvfb has ended.
        local tries
        for ((tries = 0; tries < 100; tries++)); do
            if xdotool getdisplaygeometry >/dev/null 2>&1; then
                return 0
            fi
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
        xauth -q remove ":$n"
    done
    return 1
}
start_xvfb || die "could not start Xvfb on any display from :90 to :199 (see xvfb.log below)"
echo "Xvfb on $DISPLAY"

# The screen's scale, as a user's desktop gives it: Qt's own factor, or the
# X resource the desktops set (Qt reads it as the screen's logical DPI).
if $use_xft_dpi; then
    dpi=$(awk -v s="$scale" 'BEGIN { printf "%d", 96 * s + 0.5 }')
    echo "Xft.dpi: $dpi" | xrdb -merge - || die "xrdb could not set Xft.dpi"
    unset QT_SCALE_FACTOR
    echo "scale ${percent} % as Xft.dpi $dpi"
elif [ "$percent" -ne 100 ]; then
    export QT_SCALE_FACTOR=$scale
    echo "scale ${percent} % as QT_SCALE_FACTOR=$scale"
else
    unset QT_SCALE_FACTOR
fi

# By default no window manager: none is needed. Windows appear without a
# frame at the place Qt asks for, and keyboard focus is given with `xdotool
# windowfocus` (XSetInputFocus); `windowactivate` would need a window manager
# and is not used. With --window-manager, openbox frames and places them.
if $use_window_manager; then
    command -v openbox >/dev/null || die "--window-manager needs openbox (apt-get install openbox)"
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    for ((tries = 0; tries < 50; tries++)); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        kill -0 "$wm_pid" 2>/dev/null || die "openbox ended at its start (see openbox.log below)"
        sleep 0.1
    done
fi

# Prints the id of the visible window whose whole name is $1, waiting for it
# to appear; fails after WINDOW_TIMEOUT seconds.
wait_for_window() {
    local id
    id=$(timeout "$WINDOW_TIMEOUT" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] || return 1
    echo "$id"
}

# Waits until no visible window has the whole name $1.
wait_for_window_gone() {
    local tries
    for ((tries = 0; tries < WINDOW_TIMEOUT * 10; tries++)); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Gives window $1 the keyboard focus and presses Return in it. Without a
# window manager Qt focuses each window it shows by itself; windowfocus makes
# sure of it. The key then goes through the XTEST extension, as a real key
# press would. Not `xdotool key --window`: that sends the press and release
# to the window directly, and when the press closes it (the message box) the
# release fails with an X error (BadWindow).
press_return_in() {
    xdotool windowfocus --sync "$1"
    xdotool key Return
}

# --- The program ---------------------------------------------------------
"$app" >"$work/postori.log" 2>&1 &
app_pid=$!

main_window=$(wait_for_window Postori) || die "the main window 'Postori' did not appear"
echo "main window: $main_window"
# 取得開始 is the default button and has the focus: Return presses it.
press_return_in "$main_window"
wait_for_window 進行状況 >/dev/null || die "pressing Return did not start a capture (no window 進行状況)"
kill -0 "$app_pid" 2>/dev/null || die "postori ended while starting the capture"

# --- The form ------------------------------------------------------------
# Encodes $1 as a browser does for application/x-www-form-urlencoded in
# UTF-8: letters, digits and .*_- stay, a space becomes +, every other byte
# becomes %XX. Byte by byte, hence the C locale inside.
form_encode() {
    local LC_ALL=C text=$1 out='' char i
    for ((i = 0; i < ${#text}; i++)); do
        char=${text:i:1}
        case $char in
        [a-zA-Z0-9.*_-]) out+=$char ;;
        ' ') out+=+ ;;
        *)
            printf -v char '%%%02X' "'$char"
            out+=$char
            ;;
        esac
    done
    printf '%s' "$out"
}

# A contact form as a Japanese shop would have it: field names in ASCII, as
# most forms have them (postori shows names exactly as received, so Japanese
# names would appear as %E3%81%8A...), the values in Japanese. A browser
# sends the lines of a text area separated by CR LF.
fields=(
    name '山田 太郎'
    kana 'ヤマダ タロウ'
    email taro@example.jp
    zip 100-0001
    address '東京都千代田区千代田1-1'
    message $'先日注文した商品の配送について質問があります。\r\nお届け予定日を教えていただけますか。\r\nよろしくお願いいたします。'
    agree on
)
post=()
case $form in
urlencoded)
    body=
    for ((i = 0; i < ${#fields[@]}; i += 2)); do
        body+=${body:+&}$(form_encode "${fields[i]}")=$(form_encode "${fields[i + 1]}")
    done
    post=(--data "$body")
    ;;
multipart)
    # As a form with a file input sends it; curl writes the parts as browsers do.
    printf '%%PDF-1.4 estimate\n' >"$work/estimate.pdf"
    for ((i = 0; i < ${#fields[@]}; i += 2)); do
        post+=(--form-string "${fields[i]}=${fields[i + 1]}")
    done
    post+=(--form "attach=@$work/estimate.pdf;filename=見積書.pdf;type=application/pdf")
    # A file input left empty: no filename, no contents (a file of known
    # size, so that curl sends a Content-Length as browsers do).
    : >"$work/empty"
    post+=(--form "photo=@$work/empty;filename=;type=application/octet-stream")
    ;;
text-plain)
    body=
    for ((i = 0; i < ${#fields[@]}; i += 2)); do
        body+="${fields[i]}=${fields[i + 1]}"$'\r\n'
    done
    post=(-H 'Content-Type: text/plain' --data-binary "$body")
    ;;
json)
    post=(-H 'Content-Type: application/json'
        --data-binary '{"name": "山田 太郎", "email": "taro@example.jp", "items": [{"sku": "A-1", "qty": 2}]}')
    ;;
esac

# postori sends the browser no answer. It closes the connection (curl: 52,
# empty reply, or 56); were it to keep it open, curl would wait for ever, so
# it gives up after 3 seconds (28). Those are the expected ends; anything
# else, a refused connection above all, is a failure.
curl_status=0
curl --silent --show-error --max-time 3 "${post[@]}" "http://127.0.0.1:$PORT/" >/dev/null 2>"$work/curl.log" ||
    curl_status=$?
case $curl_status in
0 | 28 | 52 | 56) ;;
*) die "curl could not post the form to port $PORT (curl exit status $curl_status)" ;;
esac

# --- The message and the result ------------------------------------------
box=$(wait_for_window 取得成功) || die "no message box 取得成功 after the form was posted"
press_return_in "$box"
wait_for_window_gone 取得成功 || die "Return did not close the message box 取得成功"
kill -0 "$app_pid" 2>/dev/null || die "postori ended after the message box"

# The rows are made right after the box closes and drawn on the next turn of
# the event loop; there is no window event to wait for, so give it a moment.
sleep 1
mkdir -p "$(dirname "$output")"
import -window "$main_window" "$output" 2>"$work/import.log" || die "import could not take the picture of the main window"
echo "wrote $output ($(identify -format '%wx%h' "$output"))"

if [ -n "$then_code" ]; then
    # The window's size in pixels over its size in dialog units gives the
    # scale; the button is clicked where the template puts it.
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    x=$((button_at[0] * WIDTH / 282))
    y=$((button_at[1] * HEIGHT / 232))
    xdotool mousemove --window "$main_window" "$x" "$y" click 1
    sleep 1
    second=${output%.png}-$then_code.png
    import -window "$main_window" "$second" 2>"$work/import.log" || die "import could not take the second picture"
    echo "wrote $second ($(identify -format '%wx%h' "$second"))"
fi
