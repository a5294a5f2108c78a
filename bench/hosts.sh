#!/bin/sh
# Functions shared by the benchmark scripts: a tool directory with generated parameter
# lists and the large synthetic Solaris 10 and 9 hosts they are checked against.
# Sourced; needs $top (the source tree).

# make_host DIR RELEASE_MINOR: the commands and the product of sim/solaris10.
make_host() {
    mkdir -p "$1/usr/bin" "$1/etc" "$1/opt/vestrel/etc"
    cp -R "$top/sim/solaris10/usr" "$1/"
    printf '#!/bin/sh\necho 5.%s\n' "$2" > "$1/usr/bin/uname"
    chmod +x "$1/usr/bin/uname"
    cp "$top/sim/solaris10/opt/vestrel/etc/vestrel.reg" "$1/opt/vestrel/etc/"
}

# make_bench BUILD DIR ROWS: DIR/tool, a tool directory whose lists hold ROWS rows for
# Solaris 10 and 9, and DIR/sol10, DIR/sol9, hosts with a setting for every row.
make_bench() {
    cmake --install "$1" --prefix "$2/tool" >/dev/null
    awk -v n="$3" 'BEGIN {
        for (i = 0; i < n; i++)
            printf "Solaris10,,,,,project.ctl-%d,proj%d,priv,additional,128,%d\n", i, i % 50, i
    }' > "$2/tool/def/kxsyfchk_sol10.csv"
    awk -v n="$3" 'BEGIN {
        for (i = 0; i < n; i++)
            printf "Solaris9,,,,,mod%d:param_%d,,,fixed,,%d\n", i, i, i
    }' > "$2/tool/def/kxsyfchk_sol9.csv"
    make_host "$2/sol10" 10
    awk -v n="$3" 'BEGIN {
        for (p = 0; p < 50; p++) {
            printf "proj%d:%d::::", p, 100 + p
            sep = ""
            for (i = p; i < n; i += 50) {
                printf "%sproject.ctl-%d=(priv,%d,deny)", sep, i, i + 200
                sep = ";"
            }
            printf "\n"
        }
    }' > "$2/sol10/etc/project"
    make_host "$2/sol9" 9
    awk -v n="$3" 'BEGIN {
        print "* generated"
        for (i = 0; i < n; i++) printf "set mod%d:param_%d=0x%x\n", i, i, i + 1
    }' > "$2/sol9/etc/system"
}
