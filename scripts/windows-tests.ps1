# Runs the Windows test programs of a build on a real Windows desktop (the CI's Windows job, or
# any Windows 10/11 machine): first the desktop check, then every test program of the bin
# folder, one at a time, each with a deadline and a GoogleTest XML report. Ends with one line
# "N passed, M failed" and exits non-zero when anything failed. Windows PowerShell 5.1.
#
#   powershell -ExecutionPolicy Bypass -File scripts\windows-tests.ps1 -Bin build\windows\bin
#       [-Out windows-test-results] [-Packages build\package] [-Filter *dialog*]
#       [-TimeoutSeconds 900] [-KeepGoing] [-SmokeOnly]
#
# -Out       reports (xml\), each program's output (logs\), screenshots of the screen when a
#            program failed (screens\) and the tests' temporary folder (temp\)
# -Packages  a folder with Quillon-<version>-setup.exe and Quillon-<version>-win64.zip: the
#            package test runs on them (without it that test is left out)
# -Filter    only the programs whose file name matches (a wildcard)
# -KeepGoing run the suites even when the desktop check failed
# -SmokeOnly run the desktop check alone
[CmdletBinding()]
param(
    [Parameter(Mandatory = $true, Position = 0)][string]$Bin,
    [string]$Out = 'windows-test-results',
    [string]$Packages = '',
    [string]$Filter = '*',
    [int]$TimeoutSeconds = 900,
    [switch]$KeepGoing,
    [switch]$SmokeOnly
)
Set-StrictMode -Version 2.0
$ErrorActionPreference = 'Stop'

$smokeName = 'desktop_smoke_tests'
$packageName = 'quillon-package-test'
# Programs the tests start: whatever a killed test leaves running is ended before the next one.
$helperNames = @('Quillon', 'quillon-textbox', 'quillon-test-editor', 'quillon-clipboard-holder', 'config_probe')

function New-Folder([string]$Path) {
    if (-not (Test-Path -LiteralPath $Path)) { New-Item -ItemType Directory -Path $Path | Out-Null }
    return (Resolve-Path -LiteralPath $Path).ProviderPath
}

$Bin = (Resolve-Path -LiteralPath $Bin).ProviderPath
$Out = New-Folder $Out
$xmlDir = New-Folder (Join-Path $Out 'xml')
$logDir = New-Folder (Join-Path $Out 'logs')
$shotDir = New-Folder (Join-Path $Out 'screens')
# A temporary folder of the run's own, in its long form: the runner's %TEMP% is a short 8.3 name
# (C:\Users\RUNNER~1\...), which the tests would otherwise compare with long program paths.
$tempDir = New-Folder (Join-Path $Out 'temp')
$env:TEMP = $tempDir
$env:TMP = $tempDir

Add-Type -AssemblyName System.Windows.Forms
Add-Type -AssemblyName System.Drawing

function Save-Screenshot([string]$Name) {
    try {
        $screen = [System.Windows.Forms.SystemInformation]::VirtualScreen
        $bitmap = New-Object System.Drawing.Bitmap $screen.Width, $screen.Height
        $graphics = [System.Drawing.Graphics]::FromImage($bitmap)
        $graphics.CopyFromScreen($screen.Left, $screen.Top, 0, 0, $bitmap.Size)
        $path = Join-Path $shotDir "$Name.png"
        $bitmap.Save($path, [System.Drawing.Imaging.ImageFormat]::Png)
        $graphics.Dispose()
        $bitmap.Dispose()
        Write-Host "  screenshot: $path"
    } catch {
        Write-Host "  no screenshot: $($_.Exception.Message)"
    }
}

# Only copies the tests started (from the bin folder or the run's temporary folder): a Quillon the
# machine's user runs is left alone.
function Stop-Helpers {
    foreach ($name in $helperNames) {
        Get-Process -Name $name -ErrorAction SilentlyContinue | Where-Object {
            $_.Path -and ($_.Path.StartsWith($Bin, 'OrdinalIgnoreCase') -or $_.Path.StartsWith($tempDir, 'OrdinalIgnoreCase'))
        } | ForEach-Object {
            Write-Host "  ending leftover $($_.Name) ($($_.Id))"
            Stop-Process -Id $_.Id -Force -ErrorAction SilentlyContinue
        }
    }
}

# Counts of one report: passed, failed and skipped cases, and the names of the failed ones.
function Read-Report([string]$Path) {
    $result = @{ Passed = 0; Failed = 0; Skipped = 0; FailedNames = @() }
    [xml]$report = Get-Content -LiteralPath $Path -Raw -Encoding UTF8
    foreach ($case in $report.SelectNodes('//testcase')) {
        $name = "$($case.GetAttribute('classname')).$($case.GetAttribute('name'))"
        $skipped = $case.GetAttribute('result') -eq 'skipped' -or $case.GetAttribute('status') -eq 'notrun' -or
            $null -ne $case.SelectSingleNode('skipped')
        if ($null -ne $case.SelectSingleNode('failure') -or $null -ne $case.SelectSingleNode('error')) {
            $result.Failed++
            $result.FailedNames += $name
        } elseif ($skipped) {
            $result.Skipped++
        } else {
            $result.Passed++
        }
    }
    return $result
}

$totals = @{ Passed = 0; Failed = 0; Skipped = 0 }
$failedPrograms = New-Object System.Collections.Generic.List[string]

# Runs one test program to its end or its deadline and adds its cases to the totals.
# Returns whether every case passed and the program ended cleanly.
function Invoke-TestProgram([System.IO.FileInfo]$Exe) {
    $name = $Exe.BaseName
    $xml = Join-Path $xmlDir "$name.xml"
    $log = Join-Path $logDir "$name.log"
    $errLog = Join-Path $logDir "$name.stderr.log"
    Remove-Item -LiteralPath $xml, $log, $errLog -ErrorAction SilentlyContinue
    Write-Host "== $name"
    $watch = [System.Diagnostics.Stopwatch]::StartNew()
    $process = Start-Process -FilePath $Exe.FullName -ArgumentList "`"--gtest_output=xml:$xml`"" `
        -WorkingDirectory $Bin -NoNewWindow -PassThru -RedirectStandardOutput $log -RedirectStandardError $errLog
    # Windows PowerShell forgets the exit code unless the handle was taken while the process ran.
    $null = $process.Handle
    $problem = ''
    $timedOut = -not $process.WaitForExit($TimeoutSeconds * 1000)
    if ($timedOut) {
        $problem = "still running after $TimeoutSeconds s: ended"
        Save-Screenshot "$name-timeout"
        # With 'Stop', Windows PowerShell turns a native program's error output into a failure.
        $ErrorActionPreference = 'Continue'
        & taskkill.exe /T /F /PID $process.Id *> $null
        $ErrorActionPreference = 'Stop'
        $process.WaitForExit(10000) | Out-Null
    }
    $seconds = [math]::Round($watch.Elapsed.TotalSeconds, 1)
    $exitCode = $process.ExitCode
    if (Test-Path -LiteralPath $log) { Get-Content -LiteralPath $log -Encoding UTF8 | Select-Object -Last 400 | Write-Host }
    if ((Test-Path -LiteralPath $errLog) -and (Get-Item -LiteralPath $errLog).Length -gt 0) {
        Get-Content -LiteralPath $errLog -Encoding UTF8 | Write-Host
    }
    $counts = @{ Passed = 0; Failed = 0; Skipped = 0; FailedNames = @() }
    if (Test-Path -LiteralPath $xml) {
        try { $counts = Read-Report $xml } catch { $problem = "unreadable report: $($_.Exception.Message)" }
    } elseif (-not $problem) {
        $problem = "ended with exit code $exitCode and wrote no report"
    }
    # A crash after the last case (or in a destructor) leaves a clean report and a bad exit code.
    if (-not $problem -and $exitCode -ne 0 -and $counts.Failed -eq 0) {
        $problem = "ended with exit code $exitCode although every case passed"
    }
    if ($problem) { $counts.Failed++ }
    $totals.Passed += $counts.Passed
    $totals.Failed += $counts.Failed
    $totals.Skipped += $counts.Skipped
    $line = "-- ${name}: $($counts.Passed) passed, $($counts.Failed) failed"
    if ($counts.Skipped) { $line += ", $($counts.Skipped) skipped" }
    Write-Host "$line ($seconds s)"
    foreach ($case in $counts.FailedNames) { Write-Host "   FAILED $case" }
    if ($problem) { Write-Host "   FAILED ${name}: $problem" }
    if ($counts.Failed -gt 0) {
        $failedPrograms.Add($name)
        # Taken before the helpers are ended: what a failed case left on the screen.
        if (-not $timedOut) { Save-Screenshot $name }
    }
    Stop-Helpers
    return ($counts.Failed -eq 0)
}

$screen = [System.Windows.Forms.Screen]::PrimaryScreen
Write-Host "Windows $([Environment]::OSVersion.Version), screen $($screen.Bounds.Width)x$($screen.Bounds.Height)," `
    "work area $($screen.WorkingArea.Width)x$($screen.WorkingArea.Height), user $env:USERNAME"
Write-Host "test programs: $Bin; results: $Out"

$all = @(Get-ChildItem -LiteralPath $Bin -Filter '*_tests.exe' | Sort-Object Name)
if ($all.Count -eq 0) {
    Write-Host "no test programs (*_tests.exe) in $Bin"
    Write-Host '0 passed, 1 failed'
    exit 1
}

$smoke = $all | Where-Object { $_.BaseName -eq $smokeName }
$suites = @($all | Where-Object { $_.BaseName -ne $smokeName -and $_.Name -like $Filter })
if ($SmokeOnly) {
    if (-not $smoke) {
        Write-Host "no $smokeName.exe in $Bin"
        Write-Host '0 passed, 1 failed'
        exit 1
    }
    $suites = @()
    $Packages = ''
}
$desktopOk = $true
if ($smoke) {
    $desktopOk = Invoke-TestProgram $smoke
    if (-not $desktopOk) {
        Write-Host 'The desktop check failed: this session does not give the tests a hotkey, the keyboard,'
        Write-Host 'the foreground, the clipboard or the notification area (see its failures above).'
        if (-not $KeepGoing) {
            Write-Host "The other $($suites.Count) programs were not run (-KeepGoing runs them anyway)."
            $suites = @()
        }
    }
} else {
    Write-Host "note: $smokeName.exe is not in $Bin; no desktop check"
}

foreach ($exe in $suites) { Invoke-TestProgram $exe | Out-Null }

# The package test, on packages made by scripts/package.sh: the zip unpacked into a folder of
# its own, the installer run by the test itself.
$packageExe = Join-Path $Bin "$packageName.exe"
if ($Packages -and $desktopOk -and "$packageName.exe" -like $Filter -and (Test-Path -LiteralPath $packageExe)) {
    $setup = Get-ChildItem -LiteralPath $Packages -Filter 'Quillon-*-setup.exe' | Select-Object -First 1
    $zip = Get-ChildItem -LiteralPath $Packages -Filter 'Quillon-*-win64.zip' | Select-Object -First 1
    if (-not $setup -or -not $zip) {
        Write-Host "== ${packageName}: no Quillon-*-setup.exe and Quillon-*-win64.zip in $Packages"
        $totals.Failed++
        $failedPrograms.Add($packageName)
    } else {
        $version = $zip.Name -replace '^Quillon-(.*)-win64\.zip$', '$1'
        $unpacked = Join-Path $tempDir 'package-zip'
        Remove-Item -LiteralPath $unpacked -Recurse -Force -ErrorAction SilentlyContinue
        Expand-Archive -LiteralPath $zip.FullName -DestinationPath $unpacked
        $env:QUILLON_PACKAGE_SETUP = $setup.FullName
        $env:QUILLON_PACKAGE_ZIPDIR = Join-Path $unpacked "Quillon-$version"
        $env:QUILLON_PACKAGE_VERSION = $version
        Invoke-TestProgram (Get-Item -LiteralPath $packageExe) | Out-Null
    }
} elseif (-not $Packages -and -not $SmokeOnly) {
    Write-Host "note: no -Packages folder: $packageName left out"
}

if ($failedPrograms.Count -gt 0) { Write-Host "failed programs: $($failedPrograms -join ', ')" }
$summary = "$($totals.Passed) passed, $($totals.Failed) failed"
if ($totals.Skipped) { $summary += ", $($totals.Skipped) skipped" }
if ($totals.Passed + $totals.Failed -eq 0) {
    Write-Host 'no test case ran'
    $summary = '0 passed, 1 failed'
    $totals.Failed = 1
}
Write-Host $summary
if ($totals.Failed -gt 0) { exit 1 }
exit 0
