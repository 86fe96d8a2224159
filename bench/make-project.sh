#!/usr/bin/env bash
# Writes a project of N voices to standard output, for measuring load and render cost:
#   bench/make-project.sh N [PERIOD_SECONDS]
# Voice i is one of the four wave types at 110 + (i mod 40) * 11 Hz, amplitude 0.01, a period
# of PERIOD_SECONDS (default 1), every third voice with an FM carrier and every fifth with its
# envelope on.
set -euo pipefail
count=${1:?usage: make-project.sh N [PERIOD_SECONDS]}
period=${2:-1.00}
awk -v n="$count" -v period="$period" 'BEGIN {
  printf "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<project>\n\t<name>Voices %d</name>\n", n
  for (i = 0; i < n; i++) {
    carrier = (i % 3 == 0) ? "true" : "false"
    envelope = (i % 5 == 0) ? "true" : "false"
    printf "\t<oscilloscope type=\"%d\" amplitude=\"0.01\" amplitudeOffset=\"0.00\" frequency=\"%d\" period=\"%s\" phase=\"0.00\" attack=\"0.10\" decay=\"0.20\" sustain=\"0.50\" hold=\"0.30\" release=\"0.10\" typeCarrier=\"0\" modCarrier=\"1\" amplitudeCarrier=\"0.30\" amplitudeOffsetCarrier=\"0.00\" frequencyCarrier=\"%d\" periodCarrier=\"1.00\" phaseCarrier=\"0.00\" envelope=\"%s\" carrier=\"%s\" loop=\"false\" mute=\"false\" />\n", i % 4, 110 + (i % 40) * 11, period, 1 + i % 7, envelope, carrier
  }
  printf "</project>"
}'
