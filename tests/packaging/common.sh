# shellcheck shell=bash
# Shared by the packaging checks; sourced, not run.

# Prints the files an install must hold, relative to the prefix, sorted.
# $1 is 1 when the window is built, 0 when only vantorel-cli is.
expected_files() {
    {
        echo bin/vantorel-cli
        echo share/doc/vantorel/copyright
        echo share/man/man1/vantorel-cli.1.gz
        if [ "$1" = 1 ]; then
            echo bin/vantorel
            echo share/applications/vantorel.desktop
            echo share/icons/hicolor/scalable/apps/vantorel.svg
            local size
            for size in 16 24 32 48 64 128 256; do
                echo "share/icons/hicolor/${size}x${size}/apps/vantorel.png"
            done
            echo share/metainfo/io.github.vantorel.Vantorel.metainfo.xml
        fi
    } | LC_ALL=C sort
}

# Installs build directory $1 into the new prefix $2 and prints nothing on success.
install_into() {
    cmake --install "$1" --prefix "$2" >/dev/null
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
