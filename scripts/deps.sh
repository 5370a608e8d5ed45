# Sourced by the other scripts: installs the Debian packages a stage needs.
# As root it installs what is missing; otherwise it says what to install and
# fails, so that no stage is ever skipped without a word.

have_package() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

need_packages() {
  local missing=() p
  for p in "$@"; do have_package "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "veskal: missing Debian packages: ${missing[*]}" >&2
    echo "veskal: install them as root: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  case " ${missing[*]} " in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
  esac
  echo "veskal: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
}

need_locale() {
  locale -a 2>/dev/null | grep -qix "$(echo "$1" | sed 's/UTF-8/utf8/')" && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "veskal: the $1 locale is missing; as root: localedef -i ${1%%.*} -f UTF-8 $1" >&2
    exit 1
  fi
  localedef -i "${1%%.*}" -f UTF-8 "$1"
}
