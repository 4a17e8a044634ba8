#include "selfupdate/updaterscripts.h"

#include "install/extractor.h"

#include <QDir>
#include <QStringList>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The script after its five values. A failed update keeps the backup and names it beside the log: when even
// restoring it went wrong, it is the player's only intact copy of the program.
const char *const powerShellBody[] = {
    R"~($updateSucceeded = $false)~",
    R"~($stage = Join-Path $env:TEMP ('FX3ModManager_Update_Stage_' + [guid]::NewGuid().ToString('N')))~",
    R"~($backup = Join-Path $env:TEMP ('FX3ModManager_Update_Backup_' + [guid]::NewGuid().ToString('N')))~",
    R"~(function Write-Log([string]$text) { ('[' + (Get-Date -Format 'yyyy-MM-dd HH:mm:ss') + '] ' + $text) | Add-Content -LiteralPath $log -Encoding UTF8 })~",
    R"~(try {)~",
    R"~(  Write-Log 'Updater gestartet.')~",
    R"~(  New-Item -ItemType Directory -Path $stage -Force | Out-Null)~",
    R"~(  Expand-Archive -LiteralPath $zip -DestinationPath $stage -Force)~",
    R"~(  Write-Log ('Archiv entpackt nach ' + $stage))~",
    R"~(  $preferred = Join-Path $stage 'FX3 ModManager')~",
    R"~(  if ((Test-Path -LiteralPath $preferred -PathType Container) -and (Test-Path -LiteralPath (Join-Path $preferred 'FX3ModManager.exe') -PathType Leaf)) {)~",
    R"~(    $source = $preferred)~",
    R"~(  } else {)~",
    R"~(    $exeCandidates = @(Get-ChildItem -LiteralPath $stage -Filter 'FX3ModManager.exe' -File -Recurse -Force -ErrorAction SilentlyContinue))~",
    R"~(    if ($exeCandidates.Count -ne 1) { throw ('FX3ModManager.exe wurde im Update-Paket nicht eindeutig gefunden. Treffer: ' + $exeCandidates.Count) })~",
    R"~(    $source = $exeCandidates[0].Directory.FullName)~",
    R"~(  })~",
    R"~(  Write-Log ('Updatequelle: ' + $source))~",
    R"~(  while (Get-Process -Id $pidToWait -ErrorAction SilentlyContinue) { Start-Sleep -Milliseconds 250 })~",
    R"~(  Start-Sleep -Milliseconds 500)~",
    R"~(  Write-Log 'ModManager wurde beendet. Erzeuge Backup.')~",
    R"~(  New-Item -ItemType Directory -Path $backup -Force | Out-Null)~",
    R"~(  Get-ChildItem -LiteralPath $target -Force | ForEach-Object { Copy-Item -LiteralPath $_.FullName -Destination $backup -Recurse -Force })~",
    R"~(  Write-Log 'Backup abgeschlossen.')~",
    R"~(  $copyOk = $false)~",
    R"~(  for ($attempt = 1; $attempt -le 5; $attempt++) {)~",
    R"~(    try {)~",
    R"~(      Write-Log ('Kopierversuch ' + $attempt))~",
    R"~(      Get-ChildItem -LiteralPath $source -Force | ForEach-Object { Copy-Item -LiteralPath $_.FullName -Destination $target -Recurse -Force })~",
    R"~(      $copyOk = $true)~",
    R"~(      break)~",
    R"~(    } catch {)~",
    R"~(      Write-Log ('Kopierversuch fehlgeschlagen: ' + $_.Exception.Message))~",
    R"~(      Start-Sleep -Seconds 1)~",
    R"~(    })~",
    R"~(  })~",
    R"~(  if (-not $copyOk) {)~",
    R"~(    Write-Log 'Updatekopie fehlgeschlagen. Stelle Backup wieder her.')~",
    R"~(    Get-ChildItem -LiteralPath $backup -Force | ForEach-Object { Copy-Item -LiteralPath $_.FullName -Destination $target -Recurse -Force })~",
    R"~(    throw 'Die neuen Programmdateien konnten nicht vollständig kopiert werden.')~",
    R"~(  })~",
    R"~(  $newExe = Join-Path $target 'FX3ModManager.exe')~",
    R"~(  if (-not (Test-Path -LiteralPath $newExe -PathType Leaf)) { throw 'FX3ModManager.exe fehlt nach dem Kopieren im Programmverzeichnis.' })~",
    R"~(  Write-Log 'Update erfolgreich kopiert. Starte Anwendung neu.')~",
    R"~(  Start-Process -FilePath $newExe -WorkingDirectory $target)~",
    R"~(  $updateSucceeded = $true)~",
    R"~(} catch {)~",
    R"~(  $message = 'Update fehlgeschlagen: ' + $_.Exception.Message)~",
    R"~(  if (Test-Path -LiteralPath $backup -PathType Container) { $message = $message + "`n`nBackup: " + $backup })~",
    R"~(  Write-Log $message)~",
    R"~(  try { if (Test-Path -LiteralPath $exeOriginal -PathType Leaf) { Start-Process -FilePath $exeOriginal -WorkingDirectory $target } } catch {})~",
    R"~(  try { Add-Type -AssemblyName PresentationFramework; [System.Windows.MessageBox]::Show($message + "`n`nLog: " + $log, 'FX3 ModManager Update') | Out-Null } catch {})~",
    R"~(} finally {)~",
    R"~(  Remove-Item -LiteralPath $stage -Recurse -Force -ErrorAction SilentlyContinue)~",
    R"~(  if ($updateSucceeded) { Remove-Item -LiteralPath $backup -Recurse -Force -ErrorAction SilentlyContinue })~",
    R"~(  Remove-Item -LiteralPath $zip -Force -ErrorAction SilentlyContinue)~",
    R"~(  if ($updateSucceeded) { Remove-Item -LiteralPath $log -Force -ErrorAction SilentlyContinue })~",
    R"~(  try {)~",
    R"~(    $self = $PSCommandPath)~",
    R"~(    if ($self) {)~",
    R"~(      $deleteCommand = 'ping 127.0.0.1 -n 2 > nul & del /f /q "' + $self + '"')~",
    R"~(      Start-Process -WindowStyle Hidden -FilePath 'cmd.exe' -ArgumentList '/d','/c',$deleteCommand | Out-Null)~",
    R"~(    })~",
    R"~(  } catch {})~",
    R"~(})~",
};

// The POSIX updater after its values. It follows the PowerShell script step by step. Copies go file by file
// through copy_file, so a failure stops at a known file and the tests can make exactly that file fail
// (FX3MM_UPDATER_FAIL_COPY, a shell pattern matched against the source path); nothing else sets it.
// Restoring also removes what the failed update added, so the folder is the old one again, not a mixture.
const char *const posixBody[] = {
    R"~(update_succeeded=0)~",
    R"~(stage=)~",
    R"~(backup=)~",
    R"~(copy_error=)~",
    R"~(write_log() {)~",
    R"~(  printf '[%s] %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$1" >>"$log")~",
    R"~(})~",
    R"~(pause_briefly() {)~",
    R"~(  sleep "$1" 2>/dev/null || sleep 1)~",
    R"~(})~",
    R"~(start_program() {)~",
    R"~(  (cd "$target" && nohup "$1" >/dev/null 2>&1 &))~",
    R"~(})~",
    R"~(show_message() {)~",
    R"~(  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then return 0; fi)~",
    R"~(  if command -v zenity >/dev/null 2>&1; then)~",
    R"~(    zenity --error --title='FX3 ModManager Update' --text="$1" >/dev/null 2>&1 &)~",
    R"~(  elif command -v kdialog >/dev/null 2>&1; then)~",
    R"~(    kdialog --title 'FX3 ModManager Update' --error "$1" >/dev/null 2>&1 &)~",
    R"~(  elif command -v notify-send >/dev/null 2>&1; then)~",
    R"~(    notify-send 'FX3 ModManager Update' "$1" >/dev/null 2>&1)~",
    R"~(  fi)~",
    R"~(})~",
    R"~(clean_up() {)~",
    R"~(  if [ -n "$stage" ]; then rm -rf "$stage"; fi)~",
    R"~(  if [ "$update_succeeded" = 1 ] && [ -n "$backup" ]; then rm -rf "$backup"; fi)~",
    R"~(  rm -f "$zip")~",
    R"~(  if [ "$update_succeeded" = 1 ]; then rm -f "$log"; fi)~",
    R"~(  rm -f "$0")~",
    R"~(})~",
    R"~(fail() {)~",
    R"~(  message="Update fehlgeschlagen: $1")~",
    R"~(  if [ -n "$backup" ] && [ -d "$backup" ]; then message="$message)~",
    R"~()~",
    R"~(Backup: $backup"; fi)~",
    R"~(  write_log "$message")~",
    R"~(  if [ -f "$exe_original" ]; then start_program "$exe_original"; fi)~",
    R"~(  show_message "$message)~",
    R"~()~",
    R"~(Log: $log")~",
    R"~(  clean_up)~",
    R"~(  exit 1)~",
    R"~(})~",
    R"~(copy_file() {)~",
    R"~(  if [ -n "${FX3MM_UPDATER_FAIL_COPY:-}" ]; then)~",
    R"~(    case "$1" in $FX3MM_UPDATER_FAIL_COPY) copy_error="$2"; return 1 ;; esac)~",
    R"~(  fi)~",
    R"~(  if [ -d "$2" ] && [ ! -L "$2" ]; then rm -rf "$2" || { copy_error="$2"; return 1; }; fi)~",
    R"~(  if cp -RPp "$1" "$2.fx3update" 2>>"$log" && mv -f "$2.fx3update" "$2" 2>>"$log"; then return 0; fi)~",
    R"~(  rm -f "$2.fx3update")~",
    R"~(  copy_error="$2")~",
    R"~(  return 1)~",
    R"~(})~",
    R"~(copy_tree() {)~",
    R"~(  for entry in "$1"/* "$1"/.[!.]* "$1"/..?*; do)~",
    R"~(    if [ ! -e "$entry" ] && [ ! -L "$entry" ]; then continue; fi)~",
    R"~(    if [ -d "$entry" ] && [ ! -L "$entry" ]; then)~",
    R"~(      if [ -e "$2/${entry##*/}" ] || [ -L "$2/${entry##*/}" ]; then)~",
    R"~(        if [ ! -d "$2/${entry##*/}" ] || [ -L "$2/${entry##*/}" ]; then rm -f "$2/${entry##*/}"; fi)~",
    R"~(      fi)~",
    R"~(      mkdir -p "$2/${entry##*/}" 2>>"$log" || { copy_error="$2/${entry##*/}"; return 1; })~",
    R"~(      copy_tree "$entry" "$2/${entry##*/}" || return 1)~",
    R"~(    else)~",
    R"~(      copy_file "$entry" "$2/${entry##*/}" || return 1)~",
    R"~(    fi)~",
    R"~(  done)~",
    R"~(  return 0)~",
    R"~(})~",
    R"~(prune_tree() {)~",
    R"~(  for entry in "$1"/* "$1"/.[!.]* "$1"/..?*; do)~",
    R"~(    if [ ! -e "$entry" ] && [ ! -L "$entry" ]; then continue; fi)~",
    R"~(    if [ ! -e "$2/${entry##*/}" ] && [ ! -L "$2/${entry##*/}" ]; then)~",
    R"~(      rm -rf "$entry" || return 1)~",
    R"~(    elif [ -d "$entry" ] && [ ! -L "$entry" ]; then)~",
    R"~(      prune_tree "$entry" "$2/${entry##*/}" || return 1)~",
    R"~(    fi)~",
    R"~(  done)~",
    R"~(  return 0)~",
    R"~(})~",
    R"~(write_log 'Updater gestartet.')~",
    R"~(stage=$(mktemp -d "$temp/FX3ModManager_Update_Stage_XXXXXXXX") || fail 'Der Entpackordner konnte nicht angelegt werden.')~",
    R"~(if [ -n "$seven_zip" ]; then)~",
    R"~(  "$seven_zip" x -y "-o$stage" "$zip" >>"$log" 2>&1 || fail 'Das Update-Paket konnte nicht entpackt werden.')~",
    R"~(else)~",
    R"~(  unzip -q -o "$zip" -d "$stage" >>"$log" 2>&1 || fail 'Das Update-Paket konnte nicht entpackt werden.')~",
    R"~(fi)~",
    R"~(write_log "Archiv entpackt nach $stage")~",
    R"~(preferred="$stage/FX3 ModManager")~",
    R"~(if [ -d "$preferred" ] && [ -f "$preferred/FX3ModManager" ]; then)~",
    R"~(  source_dir=$preferred)~",
    R"~(else)~",
    R"~(  matches=$(find "$stage" -type f -name FX3ModManager -exec printf x \; | wc -c | tr -d ' '))~",
    R"~(  if [ "$matches" != 1 ]; then fail "FX3ModManager wurde im Update-Paket nicht eindeutig gefunden. Treffer: $matches"; fi)~",
    R"~(  found=$(find "$stage" -type f -name FX3ModManager))~",
    R"~(  source_dir=${found%/*})~",
    R"~(fi)~",
    R"~(write_log "Updatequelle: $source_dir")~",
    R"~(while kill -0 "$pid_to_wait" 2>/dev/null; do pause_briefly 0.25; done)~",
    R"~(pause_briefly 0.5)~",
    R"~(write_log 'ModManager wurde beendet. Erzeuge Backup.')~",
    R"~(backup=$(mktemp -d "$temp/FX3ModManager_Update_Backup_XXXXXXXX") || fail 'Der Backup-Ordner konnte nicht angelegt werden.')~",
    R"~(cp -RPp "$target/." "$backup/" 2>>"$log" || fail 'Das Backup des Programmordners ist fehlgeschlagen.')~",
    R"~(write_log 'Backup abgeschlossen.')~",
    R"~(copy_ok=0)~",
    R"~(attempt=1)~",
    R"~(while [ "$attempt" -le 5 ]; do)~",
    R"~(  write_log "Kopierversuch $attempt")~",
    R"~(  if copy_tree "$source_dir" "$target"; then copy_ok=1; break; fi)~",
    R"~(  write_log "Kopierversuch fehlgeschlagen: $copy_error")~",
    R"~(  if [ "$attempt" -lt 5 ]; then sleep 1; fi)~",
    R"~(  attempt=$((attempt + 1)))~",
    R"~(done)~",
    R"~(if [ "$copy_ok" != 1 ]; then)~",
    R"~(  write_log 'Updatekopie fehlgeschlagen. Stelle Backup wieder her.')~",
    R"~(  if ! copy_tree "$backup" "$target" || ! prune_tree "$target" "$backup"; then)~",
    R"~(    fail "Die neuen Programmdateien konnten nicht vollständig kopiert werden, und das Backup konnte nicht vollständig wiederhergestellt werden: $copy_error")~",
    R"~(  fi)~",
    R"~(  fail 'Die neuen Programmdateien konnten nicht vollständig kopiert werden.')~",
    R"~(fi)~",
    R"~(new_exe="$target/FX3ModManager")~",
    R"~(if [ ! -f "$new_exe" ]; then fail 'FX3ModManager fehlt nach dem Kopieren im Programmverzeichnis.'; fi)~",
    R"~(if [ ! -x "$new_exe" ]; then chmod +x "$new_exe" || fail 'FX3ModManager konnte nicht ausführbar gemacht werden.'; fi)~",
    R"~(write_log 'Update erfolgreich kopiert. Starte Anwendung neu.')~",
    R"~(start_program "$new_exe")~",
    R"~(update_succeeded=1)~",
    R"~(clean_up)~",
    R"~(exit 0)~",
};

template <size_t N> void appendLines(QStringList &lines, const char *const (&body)[N])
{
    for (const char *line : body)
        lines.append(QString::fromUtf8(line));
}

} // namespace

QString powerShellUpdaterScript(const UpdaterScriptValues &values)
{
    QStringList lines{
        QStringLiteral("$ErrorActionPreference = 'Stop'"),
        QStringLiteral("$pidToWait = %1").arg(values.processId),
        QStringLiteral("$zip = %1").arg(powerShellLiteral(native(values.archivePath))),
        QStringLiteral("$target = %1").arg(powerShellLiteral(native(values.programFolder))),
        QStringLiteral("$exeOriginal = %1").arg(powerShellLiteral(native(values.programFile))),
        QStringLiteral("$log = %1").arg(powerShellLiteral(native(values.logPath))),
    };
    appendLines(lines, powerShellBody);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString posixUpdaterScript(const UpdaterScriptValues &values)
{
    QStringList lines{
        QStringLiteral("#!/bin/sh"),
        QStringLiteral("pid_to_wait=%1").arg(values.processId),
        QStringLiteral("zip=%1").arg(posixShellLiteral(values.archivePath)),
        QStringLiteral("target=%1").arg(posixShellLiteral(values.programFolder)),
        QStringLiteral("exe_original=%1").arg(posixShellLiteral(values.programFile)),
        QStringLiteral("log=%1").arg(posixShellLiteral(values.logPath)),
        QStringLiteral("temp=%1").arg(posixShellLiteral(values.tempFolder)),
        QStringLiteral("seven_zip=%1").arg(posixShellLiteral(values.sevenZip)),
    };
    appendLines(lines, posixBody);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString posixShellLiteral(const QString &text)
{
    QString literal = text;
    literal.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + literal + QLatin1Char('\'');
}

QString posixProgramFileName()
{
    return QStringLiteral("FX3ModManager");
}

QString releaseProgramFolderName()
{
    return QStringLiteral("FX3 ModManager");
}
