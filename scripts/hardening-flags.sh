#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Exports Debian's hardening flags (dpkg-buildflags: fortified functions, stack protector, format
# checks, read-only relocations, immediate binding) as CFLAGS, CXXFLAGS and LDFLAGS, which .ci/run
# and scripts/package.sh hand to CMake. Source it:  . scripts/hardening-flags.sh
# CMake reads no CPPFLAGS, so the preprocessor's flags (_FORTIFY_SOURCE) go into the compilers'.
# The source path is not mapped into the objects (fixfilepath, fixdebugpath off), so the flags are
# the same in every clone and the compiler cache serves one clone's objects to the next.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath"
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
unset CPPFLAGS
