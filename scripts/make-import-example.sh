#!/usr/bin/env bash
# Makes assets/import/example.xlsx from the example CSV files with the bank
# tool: the workbook holds the same questions (option letters and scores
# written out) and a "参数" sheet. Run after a build, when the CSV changed.
set -euo pipefail
cd "$(dirname "$0")/.."
tool=build/tools/qbrx-bank
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tool" import "$scratch/example.db" assets/import/example.csv assets/import/example-params.csv
"$tool" export-sheet "$scratch/example.db" assets/import/example.xlsx
