[CmdletBinding()]
param (
    [Parameter(Mandatory = $true)]
    [string]$Path
)

$files = Get-ChildItem -Path $Path -Filter *.log |
    Where-Object { $_.Length -gt 1MB } |
    Sort-Object Length -Descending

foreach ($file in $files) {
    Write-Host "Compressing $($file.Name)"
    Compress-Archive -Path $file.FullName -DestinationPath "$($file.FullName).zip"
}
