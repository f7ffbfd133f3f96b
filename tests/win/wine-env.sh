# Wine's settings for the win tests: source with the prefix as argument. 64-bit, quiet, and
# without the .NET and HTML engines' installers.
export WINEPREFIX=$1
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
