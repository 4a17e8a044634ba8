#!/usr/bin/env bash
# Builds the mod archives and preview images that the demo repositories in examples/repository/ offer, into
# examples/build/files/ (or the folder given as the first argument). Each archive holds a small but real mod
# folder in the game's layout (mod.lua, strings.lua, res/), so installing from the demo catalog works end to
# end. The RAR volume sets are written by rarvolumes.py, because 7-Zip cannot create RAR archives.
#
# Quick to repeat: the output folder is rebuilt from scratch every time.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/build/files}"

for tool in 7zz python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "make-demo-archives.sh: '$tool' is missing (scripts/setup.sh installs it)" >&2
        exit 1
    fi
done

# The output folder is emptied first; a folder given here that this script did not fill is never touched.
marker=".fx3-demo-files"
if [ $# -gt 0 ] && [ -d "$out" ] && [ -n "$(ls -A "$out")" ] && [ ! -e "$out/$marker" ]; then
    echo "make-demo-archives.sh: $out is not empty and was not made by this script; choose another folder" >&2
    exit 1
fi
rm -rf "$out"
mkdir -p "$out/previews"
touch "$out/$marker"
out="$(cd "$out" && pwd)"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

# --- mod folders ---------------------------------------------------------------------------------------------

# write_mod FOLDER NAME VERSION AUTHOR DESCRIPTION TAG...
# FOLDER is a path below the stage folder; its last component is the mod folder. The game itself reads
# minorVersion (the major version is the folder's "_<n>" suffix); version carries the whole version text so
# that the installed mod shows the same version as the catalog.
write_mod() {
    local folder="$stage/$1" name="$2" version="$3" author="$4" description="$5"
    shift 5
    local minor tags="" tag
    minor="$(echo "$version" | cut -d. -f2)"
    minor="${minor:-0}"
    for tag in "$@"; do
        tags+="\"$tag\", "
    done
    local script_name
    script_name="$(basename "$folder")"

    mkdir -p "$folder/res/scripts" "$folder/res/config/multiple_unit"
    cat >"$folder/mod.lua" <<LUA
function data()
return {
    info = {
        version = "$version",
        minorVersion = $minor,
        severityAdd = "NONE",
        severityRemove = "WARNING",
        name = _("$name"),
        description = _("mod_desc"),
        authors = {
            {
                name = "$author",
                role = "CREATOR",
            },
        },
        tags = { ${tags%, } },
        visible = true,
    },
}
end
LUA
    cat >"$folder/strings.lua" <<LUA
function data()
return {
    de = {
        ["mod_desc"] = "$description",
    },
    en = {
        ["mod_desc"] = "Demo mod of the Trackhaven demo catalog: $name.",
    },
}
end
LUA
    cat >"$folder/res/scripts/$script_name.lua" <<LUA
-- $name $version by $author (demo content of the Trackhaven demo catalog)
local M = {}

function M.version()
    return "$version"
end

return M
LUA
    printf '%s\n' "local units = { \"$name\" }" "return units" >"$folder/res/config/multiple_unit/$script_name.lua"
}

# add_payload FOLDER LINES: a deterministic filler file, so that the multi-part sets always split into the
# same number of volumes.
add_payload() {
    local file="$stage/$1/res/config/sound_table.lua" i
    {
        echo "return {"
        for ((i = 0; i < $2; i++)); do
            printf '    { id = %05d, file = "sound/demo/sample_%05d.wav", gain = 0.75 },\n' "$i" "$i"
        done
        echo "}"
    } >"$file"
}

# --- archives ------------------------------------------------------------------------------------------------

sevenzip() {
    7zz a -bso0 -bsp0 -bse2 -mtc=off -mta=off "$@"
}

# pack ARCHIVE STAGE_DIR [7ZZ_OPTIONS...]: everything inside STAGE_DIR at the top of the archive.
pack() {
    local archive="$1" dir="$stage/$2"
    shift 2
    (cd "$dir" && sevenzip "$@" "$out/$archive" -- *)
}

# Fixed time stamps: repeated builds produce the same archive contents.
touch_all() {
    find "$stage" -exec touch -h -d '2024-05-01 12:00:00' {} +
}

# Trackhaven repository (fx3-v3.json)
write_mod br52_12/modwerkstatt_br52_kriegslok_1 "BR 52 Kriegslok" 1.2 "Modwerkstatt Nord" \
    "Die Baureihe 52 mit Wannentender." Dampflok Güterverkehr
write_mod br52_13/modwerkstatt_br52_kriegslok_1 "BR 52 Kriegslok" 1.3 "Modwerkstatt Nord" \
    "Die Baureihe 52 mit Wannen- und Kabinentender." Dampflok Güterverkehr
write_mod e44/bahnwerk_e44_2 "E 44 Elektrolok" 2.0.1 "Bahnwerk Süd" "Die E 44 für das Mittelgebirge." Elektrolok
write_mod v200/dieselkollektiv_v200_1 "V 200 Diesellok" 1.1 "Diesel-Kollektiv" "Die V 200." Diesellok
add_payload v200/dieselkollektiv_v200_1 130
write_mod class66/railcraft_class66_1 "Ferroline Class 66" 1.0 "RailCraft UK" "Class 66 heavy freight." Diesel
write_mod vt98_19/nebenbahn_vt98_1 "Schienenbus VT 98" 1.9 "Nebenbahn-Freunde" "Der rote Brummer." Triebwagen
write_mod vt98_110/nebenbahn_vt98_1 "Schienenbus VT 98" 1.10 "Nebenbahn-Freunde" "Der rote Brummer mit Steuerwagen." \
    Triebwagen
write_mod eaos/gwm_eaos_hochbordwagen_2 "Eaos Hochbordwagen-Set" 2.2 "Güterwagen-Manufaktur" "Zwölf Hochbordwagen." \
    Güterwagen
write_mod silberlinge/bahnwerk_silberlinge_1 "Silberlinge Nahverkehrswagen" 1.0.3 "Bahnwerk Süd" \
    "Die n-Wagen mit silbernen Seitenwänden." Personenwagen
write_mod sgns/gwm_sgns_container_1 "Containertragwagen Sgns" 1.5 "Güterwagen-Manufaktur" "Sgns mit Containern." \
    Güterwagen
printf 'Containertragwagen Sgns\r\n\r\nDen Ordner gwm_sgns_container_1 in den Mod-Ordner kopieren.\r\n' \
    >"$stage/sgns/LiesMich.txt"
write_mod zans/gwm_zans_kesselwagen_2 "Kesselwagen Zans" 2.9 "Güterwagen-Manufaktur" "Kesselwagen Zans." Güterwagen
write_mod insel/inselbahnsteig_modular_1 "Modularer Inselbahnsteig" 1.1 "Bahnsteigbau Ost" "Inselbahnsteig-Module." \
    Bahnsteig
write_mod altenbrueck/bso_altenbrueck_bahnhof_2 "Kleinstadtbahnhof Altenbrück" 2.4 "Bahnsteigbau Ost" \
    "Empfangsgebäude aus Backstein." Bahnhof
write_mod erzhafen/ruhrpott_erzhafen_1 "Güterbahnhof Erzhafen" 1.0 "Ruhrpott-Modding" "Güterbahnhof mit Erzbunkern." \
    Güterbahnhof
write_mod neuhaven/bso_neuhaven_hbf_1 "Hauptbahnhof Neuhaven" 1.2 "Bahnsteigbau Ost" "Ein großer Durchgangsbahnhof." \
    Bahnhof
write_mod sfs/trassenwerk_sfs_gleis_1 "Schnellfahrstrecke 300 km/h Gleis" 1.2 "Trassenwerk" "Feste Fahrbahn." Gleis
write_mod formsignale/trassenwerk_formsignale_1 "Formsignale Preußen" 1.0.2 "Trassenwerk" "Preußische Formsignale." \
    Signale
write_mod oberleitung/trassenwerk_oberleitung_1 "Oberleitungsmasten Epoche III" 0.8 "Trassenwerk" "Quertragwerke." \
    Oberleitung
write_mod mischwald/gruenzeug_mischwald_2 "Mischwald-Bäume" 2.0 "Grünzeug" "Vierzig Bäume." Bäume
write_mod weinberge/weinberge_mosel_1 "Weinberge an der Mosel" 1.1 "Grünzeug" "Terrassen-Weinberge." Weinbau
write_mod ruhr/ruhrpott_industriekulisse_1 "Industriekulisse Ruhrgebiet" 1.4 "Ruhrpott-Modding" "Fördertürme." Industrie
write_mod basis13/trackhaven_basisbibliothek_1 "FX3 Basisbibliothek" 1.3 "Trackhaven-Team" "Gemeinsame Skripte." \
    Bibliothek
write_mod basis142/trackhaven_basisbibliothek_1 "FX3 Basisbibliothek" 1.4.2 "Trackhaven-Team" "Gemeinsame Skripte." \
    Bibliothek
write_mod kupplung/trackhaven_kupplung_skripte_1 "Kupplungs-Skriptpaket" 0.9 "Trackhaven-Team" "Automatisches Kuppeln." \
    Skript
write_mod sounddiesel/dieselkollektiv_sound_diesel_2 "Sound-Bibliothek Diesel" 2.1 "Diesel-Kollektiv" \
    "Dieselgeräusche." Sound
write_mod fahrplan/taktgeber_fahrplan_assistent_1 "Fahrplan-Assistent" 1.6 "Taktgeber" "Taktfahrpläne." Skript
write_mod linien/taktgeber_linienbenennung_1 "Automatische Linienbenennung" 0.2.0 "Taktgeber" "Benennt Linien." Skript
write_mod tram/tramdepot_linie8_1 "Straßenbahn Linie 8" 1.0 "Tram-Depot" "Ein Gelenktriebwagen." Straßenbahn
write_mod bruecken/trassenwerk_bruecken_stahl_1 "Brückenpaket Stahl" 1.3 "Trassenwerk" "Stahlbrücken." Brücke
write_mod stellwerk/stellwerker_rangierstellwerk_3 "Rangierbahnhof-Stellwerk" 3.1 "Stellwerker" "Ein Reiterstellwerk." \
    Stellwerk
write_mod terminal/hafenbahn_containerterminal_1 "Containerterminal Hafen" 1.0 "Hafenbahn" "Ein Containerterminal." \
    Hafen
add_payload terminal/hafenbahn_containerterminal_1 60

# Offered only on their entry pages (entry-pages.json)
write_mod signalbruecken/trassenwerk_signalbruecken_1 "Signalbrücken-Paket" 1.0 "Trassenwerk" "Signalbrücken." Signale
write_mod formsignalbib/trassenwerk_formsignal_bibliothek_2 "Formsignal-Bibliothek" 2.0 "Trassenwerk" \
    "Signal-Logik für Formsignale." Bibliothek

# External demo repository (external.json)
write_mod e44reskin/farbtopf_e44_ozeanblau_1 "E 44 Reskin Ozeanblau-Beige" 1.0 "Farbtopf" "E 44 in Ozeanblau-Beige." \
    Reskin
write_mod koef/farbtopf_koef2_1 "Rangierlok Köf II" 1.2 "Farbtopf" "Die kleine Köf." Rangierlok
write_mod schranken/schrankenwaerter_bahnuebergang_1 "Bahnübergang mit Schranken" 1.0 "Schrankenwärter" \
    "Beschrankte Bahnübergänge." Straße
write_mod windraeder/gruenzeug_windraeder_1 "Windräder-Set" 1.0 "Grünzeug" "Windkraftanlagen." Energie

touch_all

pack br52_kriegslok_1_2.zip br52_12 -tzip
pack br52_kriegslok_1_3.zip br52_13 -tzip
pack e44_elektrolok_2_0_1.7z e44 -t7z
# Stored, not compressed: the volume count depends only on the (fixed) content size.
pack v200_diesellok_1_1.7z v200 -t7z -mx=0 -v4k
pack class66_1_0.zip class66 -tzip
pack vt98_schienenbus_1_9.zip vt98_19 -tzip
pack vt98_schienenbus_1_10.zip vt98_110 -tzip
pack silberlinge_1_0_3.zip silberlinge -tzip
pack sgns_container_1_5.zip sgns -tzip
pack zans_kesselwagen_2_9.zip zans -tzip
# The mod files sit at the top of this archive, without a folder of their own.
pack inselbahnsteig_modular_1.zip insel/inselbahnsteig_modular_1 -tzip
pack altenbrueck_bahnhof_2_4.zip altenbrueck -tzip
pack neuhaven_hbf_1_2.zip neuhaven -tzip
pack sfs_gleis_1_2.zip sfs -tzip
pack formsignale_preussen_1_0_2.zip formsignale -tzip
pack oberleitung_epoche3_0_8.zip oberleitung -tzip
pack mischwald_2_0.zip mischwald -tzip
pack weinberge_mosel_1.zip weinberge/weinberge_mosel_1 -tzip
pack industriekulisse_ruhr_1_4.zip ruhr -tzip
pack fx3_basisbibliothek_1_3.zip basis13 -tzip
pack fx3_basisbibliothek_1_4_2.zip basis142 -tzip
pack kupplung_skripte_0_9.zip kupplung -tzip
pack sound_diesel_2_1.zip sounddiesel -tzip
pack fahrplan_assistent_1_6.zip fahrplan -tzip
pack linienbenennung_0_2_0.zip linien -tzip
pack strassenbahn_linie8_1_0.zip tram -tzip
pack bruecken_stahl_1_3.zip bruecken -tzip
pack stellwerk_rangier_3_1.zip stellwerk -tzip
pack containerterminal_hafen_1_0.zip terminal -tzip -mx=0 -v4k
pack signalbruecken_paket_1_0.zip signalbruecken -tzip
pack formsignal_bibliothek_2_0.zip formsignalbib -tzip
pack e44_reskin_ozeanblau_1_0.zip e44reskin -tzip
pack koef2_rangierlok_1_2.zip koef -tzip
pack bahnuebergang_schranken_1_0.7z schranken -t7z
pack windraeder_1_0.zip windraeder -tzip

# RAR volume sets: the mod's own files in the first volume, its res/ folder in the following ones.
(cd "$stage/eaos" && python3 "$here/rarvolumes.py" part "$out/eaos_hochbordwagen_2_2" . \
    gwm_eaos_hochbordwagen_2/mod.lua gwm_eaos_hochbordwagen_2/strings.lua -- \
    gwm_eaos_hochbordwagen_2/res/scripts/gwm_eaos_hochbordwagen_2.lua \
    gwm_eaos_hochbordwagen_2/res/config/multiple_unit/gwm_eaos_hochbordwagen_2.lua >/dev/null)
(cd "$stage/erzhafen" && python3 "$here/rarvolumes.py" old "$out/erzhafen_gueterbahnhof_1_0" . \
    ruhrpott_erzhafen_1/mod.lua ruhrpott_erzhafen_1/strings.lua -- \
    ruhrpott_erzhafen_1/res/scripts/ruhrpott_erzhafen_1.lua -- \
    ruhrpott_erzhafen_1/res/config/multiple_unit/ruhrpott_erzhafen_1.lua >/dev/null)

# --- preview images ------------------------------------------------------------------------------------------

# One picture per preview the documents name ("…/previews/<name>.png"): sky, hills and a train in a colour
# derived from the name. Written with the standard library only.
python3 - "$out/previews" "$here/repository"/*.json <<'PY'
import hashlib, re, struct, sys, zlib
from pathlib import Path

target = Path(sys.argv[1])
names = set()
for document in sys.argv[2:]:
    names.update(re.findall(r"previews/([A-Za-z0-9_-]+)\.png", Path(document).read_text(encoding="utf-8")))

def png(width, height, rows):
    data = b"".join(b"\x00" + row for row in rows)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(data, 9)) + chunk(b"IEND", b"")

for name in sorted(names):
    seed = hashlib.sha256(name.encode()).digest()
    palette = [(170, 40, 40), (40, 70, 150), (220, 170, 40), (210, 100, 30), (110, 50, 130), (120, 20, 30),
               (30, 110, 130), (90, 90, 100)]
    body = bytes(palette[seed[0] % len(palette)])
    hill = 20 + seed[3] % 30
    width, height = 320, 180
    ground = [120 + int(hill * ((x % 160) - 80) ** 2 / 6400) for x in range(width)]
    rows = []
    for y in range(height):
        if y >= 150:                                                     # ballast, wheels on it
            row = bytearray(bytes((110, 100, 90)) * width)
            if y < 156:
                for x in range(60, 260, 40):
                    row[3 * x:3 * (x + 12)] = bytes((30, 30, 30)) * 12
        else:                                                            # sky and hills
            sky = bytes((120 + y // 2, 170 + y // 3, 235))
            row = bytearray(b"".join(sky if y < g else bytes((70, 130 - (y - g) // 4, 60)) for g in ground))
            if y >= 125:                                                 # the train, with windows
                row[3 * 60:3 * 260] = body * 200
                if 129 <= y < 137:
                    for x in range(68, 252, 20):
                        row[3 * x:3 * (x + 12)] = bytes((225, 235, 240)) * 12
        rows.append(bytes(row))
    (target / f"{name}.png").write_bytes(png(width, height, rows))
PY

# --- check ---------------------------------------------------------------------------------------------------

# Every file the demo documents and entry pages point at, and nothing else. The test of the demo catalog reads
# this list too.
expected=(
    br52_kriegslok_1_2.zip
    br52_kriegslok_1_3.zip
    e44_elektrolok_2_0_1.7z
    v200_diesellok_1_1.7z.001
    v200_diesellok_1_1.7z.002
    v200_diesellok_1_1.7z.003
    class66_1_0.zip
    vt98_schienenbus_1_9.zip
    vt98_schienenbus_1_10.zip
    eaos_hochbordwagen_2_2.part1.rar
    eaos_hochbordwagen_2_2.part2.rar
    silberlinge_1_0_3.zip
    sgns_container_1_5.zip
    zans_kesselwagen_2_9.zip
    inselbahnsteig_modular_1.zip
    altenbrueck_bahnhof_2_4.zip
    erzhafen_gueterbahnhof_1_0.rar
    erzhafen_gueterbahnhof_1_0.r00
    erzhafen_gueterbahnhof_1_0.r01
    neuhaven_hbf_1_2.zip
    sfs_gleis_1_2.zip
    formsignale_preussen_1_0_2.zip
    oberleitung_epoche3_0_8.zip
    mischwald_2_0.zip
    weinberge_mosel_1.zip
    industriekulisse_ruhr_1_4.zip
    fx3_basisbibliothek_1_3.zip
    fx3_basisbibliothek_1_4_2.zip
    kupplung_skripte_0_9.zip
    sound_diesel_2_1.zip
    fahrplan_assistent_1_6.zip
    linienbenennung_0_2_0.zip
    strassenbahn_linie8_1_0.zip
    bruecken_stahl_1_3.zip
    stellwerk_rangier_3_1.zip
    containerterminal_hafen_1_0.zip.001
    containerterminal_hafen_1_0.zip.002
    signalbruecken_paket_1_0.zip
    formsignal_bibliothek_2_0.zip
    e44_reskin_ozeanblau_1_0.zip
    koef2_rangierlok_1_2.zip
    bahnuebergang_schranken_1_0.7z
    windraeder_1_0.zip
)

actual="$(cd "$out" && find . -maxdepth 1 -type f ! -name "$marker" -printf '%f\n' | sort)"
wanted="$(printf '%s\n' "${expected[@]}" | sort)"
if [ "$actual" != "$wanted" ]; then
    echo "make-demo-archives.sh: the built files differ from the expected list:" >&2
    diff <(echo "$wanted") <(echo "$actual") >&2 || true
    exit 1
fi

# The 7-Zip archives must open; first volumes stand for their sets. (This 7-Zip may lack RAR support, and
# rarvolumes.py writes checksummed headers itself.)
for archive in "${expected[@]}"; do
    case "$archive" in
    *.rar | *.r[0-9][0-9] | *.00[2-9]) continue ;;
    esac
    if ! 7zz t -bso0 -bsp0 "$out/$archive" >/dev/null; then
        echo "make-demo-archives.sh: $archive does not test as a sound archive" >&2
        exit 1
    fi
done

echo "Demo archives: ${#expected[@]} files in $out"
