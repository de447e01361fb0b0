#!/usr/bin/env bash
# Installs the Debian 12 packages Zavio needs to build, test and run. Only the
# missing ones are installed, so a second run does nothing and needs no root.
set -euo pipefail

packages=(
  cmake                   # build system (3.25)
  g++                     # C++20 compiler
  make                    # CMake's default generator
  qt6-base-dev            # Qt Core, Gui, Widgets, Test; pulls in moc/rcc and the OpenGL/Vulkan headers its CMake files need
  qt6-qpa-plugins         # the xcb (desktop) and offscreen (tests) platform plugins
  qt6-translations-l10n   # Japanese text of Qt's own dialogs and buttons
  libgl-dev               # OpenGL headers and library that Qt6Gui's CMake config requires
  libjpeg62-turbo-dev     # libjpeg-turbo (jpeglib.h)
  libexif-dev             # EXIF editing: a saved JPEG keeps the camera's date, model and GPS
  pkgconf                 # finds libexif for CMake
  libgtest-dev            # GoogleTest
  libx11-dev              # Xlib for the end-to-end test
  libxtst-dev             # XTEST, the pointer clicks of the end-to-end test
  xvfb                    # the X server of the end-to-end test
  xauth                   # lets xvfb-run start the X server of the GNOME-theme test
  qt6-gtk-platformtheme   # GNOME's platform theme, under which the folder list is tested
  openbox                 # window manager of the end-to-end modal-window test and of the package check
  dbus-x11                # dbus-launch, which the end-to-end test checks the program never leaves running
  fonts-ipafont-gothic    # Japanese font for the user interface
  fonts-dejavu-core       # a kerning font, in which the file list's widths are checked
  libxkbcommon-dev        # XKB, which Qt6Gui's CMake config looks for (keyboard maps of its private part)
  dpkg-dev                # dpkg-shlibdeps, which finds the Debian package's library dependencies
  desktop-file-utils      # desktop-file-validate, for the desktop entry
  appstream               # appstreamcli, for the AppStream metadata
  lintian                 # checks the Debian package
  xdotool                 # finds and closes that window
  qt6-wayland             # native Wayland platform plugin: sharp windows on scaled Wayland outputs
  weston                  # the Wayland compositor (headless) of the session test
  clang-tidy              # scripts/lint: the checks in .clang-tidy
  clang-format            # scripts/lint: the layout in .clang-format
  xwayland                # X11 under weston for the session test's XWayland run
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  if [[ $status != "install ok installed" ]]; then
    missing+=("$package")
  fi
done

if (( ${#missing[@]} == 0 )); then
  exit 0
fi

if ! command -v apt-get >/dev/null; then
  echo "deps.sh: apt-get not found; Zavio is built on Debian 12. Missing: ${missing[*]}" >&2
  exit 1
fi

if (( EUID == 0 )); then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "deps.sh: these packages are missing and neither root nor sudo is available:" >&2
  echo "  ${missing[*]}" >&2
  echo "Install them as root: apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

echo "deps.sh: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
