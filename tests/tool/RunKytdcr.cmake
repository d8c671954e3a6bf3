# End-to-end cases of the kytdcr program. Run by CTest as
#   cmake -DKYTDCR=<program> -DWORK=<scratch dir> -DSOURCE=<source tree> -DCASE=<name> -P RunKytdcr.cmake
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
unset(ENV{KYTDCR_KB})

# kytdcr(<expected exit> <stdout var> <stderr var> ARGS...)
function(kytdcr expected outVar errVar)
  execute_process(COMMAND "${KYTDCR}" ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT "${rc}" STREQUAL "${expected}")
    message(FATAL_ERROR "kytdcr ${ARGN}: exit ${rc}, expected ${expected}\nstdout: ${out}\nstderr: ${err}")
  endif()
  set(${outVar} "${out}" PARENT_SCOPE)
  set(${errVar} "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text regex what)
  if(NOT "${text}" MATCHES "${regex}")
    message(FATAL_ERROR "${what}: '${text}' does not match '${regex}'")
  endif()
endfunction()

function(expect_same_file got want)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${got}" "${want}" RESULT_VARIABLE differ)
  if(differ)
    file(READ "${got}" g)
    file(READ "${want}" w)
    message(FATAL_ERROR "${got} differs from ${want}\ngot:  [${g}]\nwant: [${w}]")
  endif()
endfunction()

if(CASE STREQUAL "sample-latin")
  # The plug-in's text, with the bundled default knowledge base: the host's
  # variable holds these bytes without the final line feed.
  kytdcr(0 out err recognize --plugin "${SOURCE}/data/samples/sample.png" -o "${WORK}/sample.txt")
  expect_same_file("${WORK}/sample.txt" "${SOURCE}/data/samples/sample.txt")
  # Standard output carries the same bytes.
  execute_process(COMMAND "${KYTDCR}" recognize --plugin "${SOURCE}/data/samples/sample.png"
                  OUTPUT_FILE "${WORK}/stdout.txt" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "recognize to standard output: exit ${rc}")
  endif()
  expect_same_file("${WORK}/stdout.txt" "${SOURCE}/data/samples/sample.txt")
  # The knowledge base may also come from the environment.
  set(ENV{KYTDCR_KB} "${SOURCE}/data/kb/latin.dcr")
  kytdcr(0 out err recognize --plugin "${SOURCE}/data/samples/sample.png" -o "${WORK}/env.txt")
  expect_same_file("${WORK}/env.txt" "${SOURCE}/data/samples/sample.txt")

elseif(CASE STREQUAL "sample-russian")
  # The plug-in names each folded group by its more frequent member: the
  # capital Д reads as д and the digit 3 as з; everything else as written,
  # byte for byte (compared as bytes: file(READ) as text drops the CRs).
  kytdcr(0 out err recognize --plugin --kb russian "${SOURCE}/data/samples/sample-ru.png" -o "${WORK}/sample-ru.txt")
  file(READ "${WORK}/sample-ru.txt" got HEX)
  file(READ "${SOURCE}/data/samples/sample-ru.txt" want HEX)
  string(REGEX REPLACE "(..)" ";\\1" got "${got};")
  string(REGEX REPLACE "(..)" ";\\1" want "${want};")
  foreach(twice 1 2)  # a match takes the separator that the next one needs
    string(REPLACE ";d0;94;" ";d0;b4;" want "${want}")  # Д -> д
    string(REPLACE ";d0;97;" ";d0;b7;" want "${want}")  # З -> з
    string(REPLACE ";33;" ";d0;b7;" want "${want}")     # 3 -> з
  endforeach()
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "the plug-in read sample-ru.png as\n  ${got}\ninstead of\n  ${want}")
  endif()
  # The page reader: one line of text per line of the picture, capitals and
  # digits as written.
  kytdcr(0 out err recognize --kb russian "${SOURCE}/data/samples/sample-ru.png" -o "${WORK}/lines.txt")
  expect_same_file("${WORK}/lines.txt" "${SOURCE}/data/samples/sample-ru.source.txt")

elseif(CASE STREQUAL "train-and-read")
  # A knowledge base of three letters from a font, then one from a folder of
  # labelled pictures; both must read a rendered line of those letters.
  kytdcr(0 out err train --font DejaVuSans --chars "cab" --sizes 20,24,28 --seed 7 --max-epochs 400
         --error-goal 0 --learning-rate 0.01 --weight-range 0.1 -q -o "${WORK}/abc.dcr")
  expect_match("${err}" "recognised: 9 of 9" "training report")
  kytdcr(0 out err render --font DejaVuSans --size 24 --word-gap 30 --text "abc cab" -o "${WORK}/line.png")
  kytdcr(0 out err recognize --plugin --kb "${WORK}/abc.dcr" "${WORK}/line.png")
  if(NOT out STREQUAL "abc cab \n")
    message(FATAL_ERROR "font-trained base read [${out}]")
  endif()
  kytdcr(0 out err info "${WORK}/abc.dcr")
  expect_match("${out}" "patterns +3, 9 samples" "info")
  expect_match("${out}" "\n +0 +c +3\n +1 +a +3\n +2 +b +3\n" "info patterns in priority order")

  foreach(letter a b)
    file(MAKE_DIRECTORY "${WORK}/glyphs/${letter}")
    foreach(size 22 26)
      kytdcr(0 out err render --font DejaVuSerif --size ${size} --text "${letter}${letter}" --letter-gap 4
             -o "${WORK}/glyphs/${letter}/${size}.png")
    endforeach()
  endforeach()
  kytdcr(0 out err render --font DejaVuSerif --size 24 --text "b" -o "${WORK}/glyphs/b_extra.png")
  kytdcr(0 out err render --font DejaVuSerif --size 24 --text "/" -o "${WORK}/glyphs/U+002F_1.png")
  kytdcr(0 out err train --glyphs "${WORK}/glyphs" --seed 7 --max-epochs 400 --error-goal 0
         --learning-rate 0.01 --weight-range 0.1 -q -o "${WORK}/folder.dcr")
  expect_match("${err}" "6 pictures, 10 samples" "folder report")
  # Patterns in the order met: folders and files sorted by name.
  kytdcr(0 out err info "${WORK}/folder.dcr")
  expect_match("${out}" "\n +0 +/ +1\n +1 +a +4\n +2 +b +5\n" "folder patterns")
  kytdcr(0 out err render --font DejaVuSerif --size 24 --word-gap 30 --letter-gap 4 --text "ab/ ba" -o "${WORK}/ab.png")
  kytdcr(0 out err recognize --plugin --kb "${WORK}/folder.dcr" "${WORK}/ab.png")
  if(NOT out STREQUAL "ab/ ba \n")
    message(FATAL_ERROR "folder-trained base read [${out}]")
  endif()

elseif(CASE STREQUAL "train-text")
  # A base of three letters learnt from jittered lines of text by the fast
  # trainer, measured on a font it never saw; it must read that font.
  file(WRITE "${WORK}/text.txt" "a cab bac\nabba cca bcab\n")
  kytdcr(0 out err train --text "${WORK}/text.txt" --chars "cab" --font DejaVuSans --font DejaVuSerif
         --lines 60 --isolated 3 --max-epochs 12 --hidden 24 --outputs 16 --seed 3 --max-pairs 0
         --validate-font LiberationSans-Regular --validate-text "${WORK}/text.txt" --validate-sizes 16,24
         -q -o "${WORK}/cab.dcr")
  expect_match("${err}" "glyph accuracy on held-out fonts" "held-out glyph report")
  expect_match("${err}" "LiberationSans-Regular \\(held out\\)" "held-out page report")
  expect_match("${err}" "best validation epoch" "early-stopping report")
  set(err_train "${err}")
  kytdcr(0 out err render --font LiberationSans-Regular --size 24 --word-gap 30 --letter-gap 3 --text "abc cab"
         -o "${WORK}/line.png")
  kytdcr(0 out err recognize --plugin --kb "${WORK}/cab.dcr" "${WORK}/line.png")
  if(NOT out STREQUAL "abc cab \n")
    message(FATAL_ERROR "text-trained base read [${out}]")
  endif()
  kytdcr(0 out err info "${WORK}/cab.dcr")
  expect_match("${out}" "patterns +3," "info of the text-trained base")
  # The base measured again on the same corpus gives the figures its training
  # reported, and nothing is written.
  string(REGEX MATCH "validation split[^\n]*" trained_split "${err_train}")
  kytdcr(0 out err train --text "${WORK}/text.txt" --chars "cab" --font DejaVuSans --font DejaVuSerif
         --lines 60 --isolated 3 --seed 3 --max-pairs 0 --evaluate "${WORK}/cab.dcr" -q)
  string(REGEX MATCH "validation split[^\n]*" evaluated_split "${err}")
  if(trained_split STREQUAL "" OR NOT trained_split STREQUAL evaluated_split)
    message(FATAL_ERROR "evaluated [${evaluated_split}], trained [${trained_split}]")
  endif()
  kytdcr(1 out err train --text "${WORK}/text.txt" --chars "cab" --font DejaVuSans --evaluate "${WORK}/none.dcr")
  # The network's own Train is still there.
  kytdcr(0 out err train --text "${WORK}/text.txt" --chars "cab" --font DejaVuSans --lines 10 --isolated 1
         --trainer exact --max-epochs 2 --hidden 8 --outputs 16 --max-pairs 0 -q -o "${WORK}/exact.dcr")
  expect_match("${err}" "exact Train: 2 epochs" "exact trainer")
  # Wrong use is refused before anything is written.
  kytdcr(2 out err train --text "${WORK}/text.txt" --chars "cab" --font DejaVuSans --trainer slow -o "${WORK}/x.dcr")
  expect_match("${err}" "--trainer" "unknown trainer")
  kytdcr(2 out err train --text "${WORK}/text.txt" --chars "cab" --font DejaVuSans --validate-font DejaVuSans
         -o "${WORK}/x.dcr")
  expect_match("${err}" "also trained" "held-out font in training")
  kytdcr(2 out err train --font DejaVuSans --chars "cab" --lines 5 -o "${WORK}/x.dcr")
  expect_match("${err}" "needs --text" "corpus option without text")
  kytdcr(1 out err train --text "${WORK}/missing.txt" --chars "cab" --font DejaVuSans -o "${WORK}/x.dcr")
  expect_match("${err}" "cannot read" "missing text")
  kytdcr(2 out err train --text "${WORK}/text.txt" --chars "cab" --font DejaVuSans --shapes "16x16:8" -o "${WORK}/x.dcr")
  expect_match("${err}" "GRID:HIDDEN:OUTPUTS" "bad shape")
  if(EXISTS "${WORK}/x.dcr")
    message(FATAL_ERROR "a refused train wrote a knowledge base")
  endif()

elseif(CASE STREQUAL "info")
  kytdcr(0 out err info "${SOURCE}/data/kb/latin.dcr")
  expect_match("${out}" "glyph grid +[0-9]+ x [0-9]+ pixels" "info grid")
  expect_match("${out}" "\n +0 +e +[0-9]+\n" "info first pattern")
  kytdcr(0 out err info --brief russian)
  expect_match("${out}" "patterns +[0-9]+, [0-9]+ samples" "info of a bundled base by name")
  if(out MATCHES "\n +0 ")
    message(FATAL_ERROR "--brief listed the patterns")
  endif()
  kytdcr(0 out err segment "${SOURCE}/data/samples/sample.png" -o "${WORK}/segments.png")
  expect_match("${out}" "[1-9][0-9]* lines, [1-9][0-9]* words, [1-9][0-9]* glyphs" "segment counts")
  if(NOT EXISTS "${WORK}/segments.png")
    message(FATAL_ERROR "segment wrote no picture")
  endif()
  # Its output is a picture the tool itself can read again.
  kytdcr(0 out err segment "${WORK}/segments.png" -o "${WORK}/again.png")

elseif(CASE STREQUAL "reader")
  # The default reading: one line of text per line of the picture.
  kytdcr(0 out err recognize "${SOURCE}/data/samples/sample.png" -o "${WORK}/lines.txt")
  expect_same_file("${WORK}/lines.txt" "${SOURCE}/data/samples/sample.source.txt")
  # '-' reads standard input.
  execute_process(COMMAND "${KYTDCR}" recognize - INPUT_FILE "${SOURCE}/data/samples/sample.png"
                  OUTPUT_FILE "${WORK}/stdin.txt" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "recognize -: exit ${rc}")
  endif()
  expect_same_file("${WORK}/stdin.txt" "${SOURCE}/data/samples/sample.source.txt")
  # Light text on dark is found and read.
  kytdcr(0 out err render --font DejaVuSans --size 32 --ink f0f0f0 --paper 202838 --text "sixty seven" -o "${WORK}/dark.png")
  kytdcr(0 out err recognize -v "${WORK}/dark.png")
  if(NOT out STREQUAL "sixty seven\n")
    message(FATAL_ERROR "inverted page read [${out}]")
  endif()
  expect_match("${err}" "inverted" "inverted page report")
  # Several pictures: a bad one is reported and the others are still read.
  file(WRITE "${WORK}/empty.png" "")
  file(WRITE "${WORK}/notes.txt" "not a picture at all")
  kytdcr(1 out err recognize "${SOURCE}/data/samples/sample.png" "${WORK}/missing.png" "${WORK}/empty.png"
         "${WORK}/notes.txt" "${WORK}/dark.png")
  expect_match("${out}" "==> .*sample.png <==\nHello, this is a sample page.\n" "first picture")
  expect_match("${out}" "==> .*dark.png <==\nsixty seven\n$" "last picture")
  expect_match("${err}" "cannot read picture .*missing.png" "missing picture")
  expect_match("${err}" "empty.png: empty file" "empty file")
  expect_match("${err}" "notes.txt: unsupported picture format" "unsupported picture")
  # JSON, read back by a JSON parser: every line, word and glyph with box, name and score.
  kytdcr(1 out err recognize --format json "${SOURCE}/data/samples/sample.png" "${WORK}/missing.png"
         -o "${WORK}/page.json")
  find_program(PYTHON3 python3 REQUIRED)
  execute_process(COMMAND "${PYTHON3}" -c [=[
import json, sys
pages = json.load(open(sys.argv[1], encoding="utf-8"))
assert len(pages) == 2, pages
page, bad = pages
assert "error" in bad and "missing.png" in bad["file"], bad
assert page["text"] == open(sys.argv[2], encoding="utf-8").read(), page["text"]
assert len(page["lines"]) == 4
for line in page["lines"]:
    assert line["text"] == " ".join(w["text"] for w in line["words"])
    for word in line["words"]:
        assert word["text"] == "".join(g["name"] for g in word["glyphs"])
        for g in word["glyphs"]:
            assert len(g["box"]) == 4 and all(isinstance(v, int) for v in g["box"])
            assert -1.0 <= g["score"] <= 1.0
print("ok")
]=] "${WORK}/page.json" "${SOURCE}/data/samples/sample.source.txt"
    RESULT_VARIABLE rc OUTPUT_VARIABLE pyout ERROR_VARIABLE pyerr)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "JSON check failed: ${pyout} ${pyerr}")
  endif()
  # TSV: a heading and eleven fields on every row.
  kytdcr(0 out err recognize --format tsv "${SOURCE}/data/samples/sample.png")
  expect_match("${out}" "^file\tlevel\tline\tword\tglyph\tleft\ttop\twidth\theight\ttext\tscore\n" "tsv heading")
  expect_match("${out}" "\tline\t1\t0\t0\t[0-9]+\t[0-9]+\t[0-9]+\t[0-9]+\tHello, this is a sample page.\t" "tsv line")
  # Wrong usage.
  kytdcr(2 out err recognize --plugin --invert yes "${SOURCE}/data/samples/sample.png")
  kytdcr(2 out err recognize --format xml "${SOURCE}/data/samples/sample.png")
  kytdcr(2 out err recognize --invert maybe "${SOURCE}/data/samples/sample.png")
  kytdcr(2 out err recognize - -)

elseif(CASE STREQUAL "bad-usage")
  kytdcr(2 out err recognize)
  expect_match("${err}" "no picture given" "missing picture")
  kytdcr(2 out err recognize --bw dark x.png)
  expect_match("${err}" "--bw: 'dark' is not a whole number" "bad number")
  kytdcr(2 out err recognize --space wide x.png)
  kytdcr(2 out err recognize --frobnicate x.png)
  expect_match("${err}" "unknown option --frobnicate" "unknown option")
  kytdcr(2 out err frobnicate)
  kytdcr(2 out err train -o "${WORK}/x.dcr")
  expect_match("${err}" "no glyph source" "train without source")
  kytdcr(2 out err train --font DejaVuSans --grid 16 -o "${WORK}/x.dcr")
  kytdcr(2 out err train --font DejaVuSans --chars "a漢" -o "${WORK}/x.dcr")
  expect_match("${err}" "U\\+6F22" "character outside the code page")
  kytdcr(2 out err segment "${SOURCE}/data/samples/sample.png")
  kytdcr(2 out err info)
  kytdcr(2 out err recognize --plugin --language-model none x.png)
  expect_match("${err}" "cannot be used with --plugin" "language model with the plug-in's reading")
  kytdcr(2 out err recognize --language-weight -1 x.png)
  expect_match("${err}" "--language-weight: '-1' is not a number" "bad language weight")
  kytdcr(2 out err language-model -o "${WORK}/x.lm" "${SOURCE}/data/corpus/english.txt")
  expect_match("${err}" "--alphabet is needed" "language model without alphabet")
  foreach(cmd recognize train info segment render language-model)
    kytdcr(0 out err ${cmd} --help)
    expect_match("${out}" "^Usage: kytdcr ${cmd}" "help of ${cmd}")
  endforeach()
  if(EXISTS "${WORK}/x.dcr")
    message(FATAL_ERROR "a failed train wrote a knowledge base")
  endif()

elseif(CASE STREQUAL "bad-files")
  kytdcr(1 out err recognize --plugin "${WORK}/missing.png")
  expect_match("${err}" "cannot read picture .*missing.png" "missing picture")
  file(WRITE "${WORK}/picture.gif" "GIF89a")
  kytdcr(1 out err recognize "${WORK}/picture.gif")
  string(ASCII 137 pngMagic)
  file(WRITE "${WORK}/broken.png" "${pngMagic}PNG\r\n not really a picture")
  kytdcr(1 out err recognize "${WORK}/broken.png")
  kytdcr(1 out err recognize --kb "${WORK}/missing.dcr" "${SOURCE}/data/samples/sample.png")
  expect_match("${err}" "cannot load knowledge base" "missing knowledge base")
  # Damaged knowledge bases: empty, cut short, absurd dimensions.
  file(WRITE "${WORK}/empty.dcr" "")
  kytdcr(1 out err recognize --kb "${WORK}/empty.dcr" "${SOURCE}/data/samples/sample.png")
  file(READ "${SOURCE}/data/kb/latin.dcr" head LIMIT 5000 HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${head}")
  execute_process(COMMAND printf "${escaped}" OUTPUT_FILE "${WORK}/short.dcr")
  kytdcr(1 out err recognize --kb "${WORK}/short.dcr" "${SOURCE}/data/samples/sample.png")
  kytdcr(1 out err info "${WORK}/short.dcr")
  execute_process(COMMAND printf "\\377\\377\\377\\177\\377\\377\\377\\177\\1\\0\\0\\0\\1\\0\\0\\0\\1\\0\\0\\0"
                  OUTPUT_FILE "${WORK}/huge.dcr")
  kytdcr(1 out err info "${WORK}/huge.dcr")
  # Language models: missing, cut short, another file.
  kytdcr(1 out err recognize --language-model "${WORK}/missing.lm" "${SOURCE}/data/samples/sample.png")
  expect_match("${err}" "cannot open language model" "missing language model")
  file(WRITE "${WORK}/short.lm" "KYTLM 1\nxx")
  kytdcr(1 out err recognize --language-model "${WORK}/short.lm" "${SOURCE}/data/samples/sample.png")
  expect_match("${err}" "language model '.*short.lm' cannot be read: it ends inside its header" "short language model")
  kytdcr(1 out err recognize --language-model "${SOURCE}/data/kb/latin.dcr" "${SOURCE}/data/samples/sample.png")
  expect_match("${err}" "is no kytdcr language model" "a knowledge base as language model")
  kytdcr(1 out err recognize "${SOURCE}/data/samples/sample.png" -o "${WORK}/no/such/folder/out.txt")
  expect_match("${err}" "cannot write" "unwritable output")

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
