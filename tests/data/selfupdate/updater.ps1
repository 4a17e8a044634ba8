# The Windows updater as the program writes it (one line each, compared line by line); @NAME@ marks a value
# the test fills in.
$ErrorActionPreference = 'Stop'
$pidToWait = @PID@
$zip = '@TEMP@/FX3ModManager_Update_1.zip'
$target = '@ROOT@/Bob''s ‘‘Ü’’ ‚‚Mod‛‛'
$exeOriginal = '@ROOT@/Bob''s ‘‘Ü’’ ‚‚Mod‛‛/FX3ModManager.exe'
$log = '@LOG@'
$updateSucceeded = $false
$stage = Join-Path $env:TEMP ('FX3ModManager_Update_Stage_' + [guid]::NewGuid().ToString('N'))
$backup = Join-Path $env:TEMP ('FX3ModManager_Update_Backup_' + [guid]::NewGuid().ToString('N'))
function Write-Log([string]$text) { ('[' + (Get-Date -Format 'yyyy-MM-dd HH:mm:ss') + '] ' + $text) | Add-Content -LiteralPath $log -Encoding UTF8 }
try {
  Write-Log 'Updater gestartet.'
  New-Item -ItemType Directory -Path $stage -Force | Out-Null
  Expand-Archive -LiteralPath $zip -DestinationPath $stage -Force
  Write-Log ('Archiv entpackt nach ' + $stage)
  $preferred = Join-Path $stage 'FX3 ModManager'
  if ((Test-Path -LiteralPath $preferred -PathType Container) -and (Test-Path -LiteralPath (Join-Path $preferred 'FX3ModManager.exe') -PathType Leaf)) {
    $source = $preferred
  } else {
    $exeCandidates = @(Get-ChildItem -LiteralPath $stage -Filter 'FX3ModManager.exe' -File -Recurse -Force -ErrorAction SilentlyContinue)
    if ($exeCandidates.Count -ne 1) { throw ('FX3ModManager.exe wurde im Update-Paket nicht eindeutig gefunden. Treffer: ' + $exeCandidates.Count) }
    $source = $exeCandidates[0].Directory.FullName
  }
  Write-Log ('Updatequelle: ' + $source)
  while (Get-Process -Id $pidToWait -ErrorAction SilentlyContinue) { Start-Sleep -Milliseconds 250 }
  Start-Sleep -Milliseconds 500
  Write-Log 'ModManager wurde beendet. Erzeuge Backup.'
  New-Item -ItemType Directory -Path $backup -Force | Out-Null
  Get-ChildItem -LiteralPath $target -Force | ForEach-Object { Copy-Item -LiteralPath $_.FullName -Destination $backup -Recurse -Force }
  Write-Log 'Backup abgeschlossen.'
  $copyOk = $false
  for ($attempt = 1; $attempt -le 5; $attempt++) {
    try {
      Write-Log ('Kopierversuch ' + $attempt)
      Get-ChildItem -LiteralPath $source -Force | ForEach-Object { Copy-Item -LiteralPath $_.FullName -Destination $target -Recurse -Force }
      $copyOk = $true
      break
    } catch {
      Write-Log ('Kopierversuch fehlgeschlagen: ' + $_.Exception.Message)
      Start-Sleep -Seconds 1
    }
  }
  if (-not $copyOk) {
    Write-Log 'Updatekopie fehlgeschlagen. Stelle Backup wieder her.'
    Get-ChildItem -LiteralPath $backup -Force | ForEach-Object { Copy-Item -LiteralPath $_.FullName -Destination $target -Recurse -Force }
    throw 'Die neuen Programmdateien konnten nicht vollständig kopiert werden.'
  }
  $newExe = Join-Path $target 'FX3ModManager.exe'
  if (-not (Test-Path -LiteralPath $newExe -PathType Leaf)) { throw 'FX3ModManager.exe fehlt nach dem Kopieren im Programmverzeichnis.' }
  Write-Log 'Update erfolgreich kopiert. Starte Anwendung neu.'
  Start-Process -FilePath $newExe -WorkingDirectory $target
  $updateSucceeded = $true
} catch {
  $message = 'Update fehlgeschlagen: ' + $_.Exception.Message
  if (Test-Path -LiteralPath $backup -PathType Container) { $message = $message + "`n`nBackup: " + $backup }
  Write-Log $message
  try { if (Test-Path -LiteralPath $exeOriginal -PathType Leaf) { Start-Process -FilePath $exeOriginal -WorkingDirectory $target } } catch {}
  try { Add-Type -AssemblyName PresentationFramework; [System.Windows.MessageBox]::Show($message + "`n`nLog: " + $log, 'FX3 ModManager Update') | Out-Null } catch {}
} finally {
  Remove-Item -LiteralPath $stage -Recurse -Force -ErrorAction SilentlyContinue
  if ($updateSucceeded) { Remove-Item -LiteralPath $backup -Recurse -Force -ErrorAction SilentlyContinue }
  Remove-Item -LiteralPath $zip -Force -ErrorAction SilentlyContinue
  if ($updateSucceeded) { Remove-Item -LiteralPath $log -Force -ErrorAction SilentlyContinue }
  try {
    $self = $PSCommandPath
    if ($self) {
      $deleteCommand = 'ping 127.0.0.1 -n 2 > nul & del /f /q "' + $self + '"'
      Start-Process -WindowStyle Hidden -FilePath 'cmd.exe' -ArgumentList '/d','/c',$deleteCommand | Out-Null
    }
  } catch {}
}
