#!/usr/bin/env bash
# Prints the first http(s) archive that this machine's apt sources (one-line or deb822, as apt
# reads them) name for the host's own release: a Debian mirror, not a third-party or security
# archive. Prints nothing when there is none.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE) $(TARGET_OF)' |
  awk -v c="$codename" '!found && $2 == c && $3 == "deb" && $1 ~ /^https?:\/\// {
    print $1; found = 1 }'
