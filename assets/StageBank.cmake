# Puts a newly built demo bank in the program directory, unless the bank
# staged there holds a learner's data (test records, favourites, settings):
# that bank is never replaced. Run with -P and
#   TOOL    qbrx-bank
#   NEW     the demo bank just built
#   STAGED  the program directory's QBRX.db
#   RECORD  a file with the learner-data digest of the demo bank last staged
execute_process(COMMAND ${TOOL} digest ${NEW} OUTPUT_VARIABLE new_digest
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the demo bank ${NEW}")
endif()

set(replace FALSE)
if(NOT EXISTS ${STAGED})
  set(replace TRUE)
else()
  # The learner data the staged bank came with: that of the demo bank last
  # staged, or (staged by an older build) that of the demo bank.
  set(staged_demo ${new_digest})
  if(EXISTS ${RECORD})
    file(READ ${RECORD} staged_demo)
    string(STRIP "${staged_demo}" staged_demo)
  endif()
  execute_process(COMMAND ${TOOL} digest ${STAGED} OUTPUT_VARIABLE staged_digest
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  # Untouched: the staged bank holds exactly the learner data of the demo
  # bank it was staged from.
  if(rc EQUAL 0 AND staged_digest STREQUAL staged_demo)
    set(replace TRUE)
  endif()
endif()

if(replace)
  file(COPY_FILE ${NEW} ${STAGED}.new)
  file(RENAME ${STAGED}.new ${STAGED})
  file(WRITE ${RECORD} "${new_digest}\n")
else()
  message(STATUS "保留 ${STAGED}：其中有学员的测试记录、收藏或设置，未用新的演示题库替换。"
                 "新的演示题库在 ${NEW}。")
endif()
