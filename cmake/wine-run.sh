#!/usr/bin/env bash
# Runs a Windows program under Wine quietly, without the add-on prompts.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-gaugebench}
exec wine "$@"
