# The vendor's configuration: the addresses the installed program uses and
# the package's contact fields. Set them on the cmake command line
# (-DQBRX_UPDATE_URL=...) or in one vendor file named by -DQBRX_VENDOR_FILE
# (packaging/vendor.cmake.example shows every setting; its values win over
# the command line). What is left empty stays empty: the installed template
# then holds no address for it, and the command that needs it tells the
# learner in Chinese that it is not configured.
set(QBRX_VENDOR_FILE "" CACHE FILEPATH "A CMake file that sets the QBRX_* vendor settings")
if(QBRX_VENDOR_FILE)
  if(NOT EXISTS ${QBRX_VENDOR_FILE})
    message(FATAL_ERROR "QBRX_VENDOR_FILE ${QBRX_VENDOR_FILE} does not exist")
  endif()
  include(${QBRX_VENDOR_FILE})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QBRX_VENDOR_FILE})
endif()

# Addresses that go into the template bank's parameters (系统参数).
set(QBRX_UPDATE_URL "" CACHE STRING "升级下载地址: the folder the online update downloads from (http/https)")
set(QBRX_OUTLINE_URL "" CACHE STRING "错误反馈网址: the page 考试大纲 opens")
set(QBRX_SERVICE_URL "" CACHE STRING "增值服务网址")
set(QBRX_EXAM_NEWS_URL "" CACHE STRING "招考信息")
set(QBRX_JOB_SEARCH_URL "" CACHE STRING "职位查询")
set(QBRX_FEEDBACK_DATABASE "" CACHE STRING "错误反馈数据库: libpq connection string of the error report server")
# Addresses built into the program, and the package's fields.
set(QBRX_HOMEPAGE "" CACHE STRING "The vendor's web site: 官方网站 and the package's Homepage")
set(QBRX_FEEDBACK_PAGE_URL "" CACHE STRING "The page the help menu's 错误反馈 opens")
set(QBRX_SCREENSHOT_URL "" CACHE STRING "The screenshot software centres show (default: screenshot.png on QBRX_HOMEPAGE)")
set(QBRX_CONTACT_LINES "" CACHE STRING "The lines of the 联系我们 dialog, separated by ';'")
set(QBRX_APPSTREAM_ID "" CACHE STRING "The AppStream component id, reverse DNS of the vendor's domain (com.example.qbrx)")
if(QBRX_APPSTREAM_ID STREQUAL "")
  set(QBRX_APPSTREAM_ID "invalid.qbrx.qbrx") # a placeholder in the reserved .invalid domain
endif()
if(NOT QBRX_APPSTREAM_ID MATCHES "^[a-z][a-z0-9]*(\\.[a-z0-9_]+)+$")
  message(FATAL_ERROR "QBRX_APPSTREAM_ID must be a lower-case reverse domain name: ${QBRX_APPSTREAM_ID}")
endif()
set(QBRX_MAINTAINER "" CACHE STRING "The package's Maintainer field: a name and an address that receives mail")
if(QBRX_MAINTAINER STREQUAL "")
  # A placeholder that says what it is; a vendor's package sets its own.
  set(QBRX_MAINTAINER "qbrx vendor (set QBRX_MAINTAINER) <maintainer@qbrx.invalid>")
endif()

foreach(var QBRX_UPDATE_URL QBRX_OUTLINE_URL QBRX_SERVICE_URL QBRX_EXAM_NEWS_URL QBRX_JOB_SEARCH_URL
            QBRX_HOMEPAGE QBRX_FEEDBACK_PAGE_URL QBRX_SCREENSHOT_URL)
  if(NOT "${${var}}" STREQUAL "" AND NOT "${${var}}" MATCHES "^https?://[^/]")
    message(FATAL_ERROR "${var} must be an http or https address: ${${var}}")
  endif()
endforeach()

# The template bank's vendor parameters as SQL (quotes doubled).
function(qbrx_write_vendor_parameters out)
  set(sql "-- 发行方配置的地址（构建时生成）：未配置的为空。\n")
  foreach(pair "升级下载地址|QBRX_UPDATE_URL" "错误反馈网址|QBRX_OUTLINE_URL" "增值服务网址|QBRX_SERVICE_URL"
               "招考信息|QBRX_EXAM_NEWS_URL" "职位查询|QBRX_JOB_SEARCH_URL" "错误反馈数据库|QBRX_FEEDBACK_DATABASE")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 name)
    list(GET pair 1 var)
    string(REPLACE "'" "''" value "${${var}}")
    string(APPEND sql "UPDATE 系统参数 SET 参数值='${value}' WHERE 参数名='${name}';\n")
  endforeach()
  file(CONFIGURE OUTPUT ${out} CONTENT "${sql}" @ONLY)
endfunction()

# The program's built-in vendor addresses as a header (C++ string escapes).
function(qbrx_cxx_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
function(qbrx_write_vendor_header out)
  set(QBRX_CONTACT_LINES_CODE "")
  foreach(line IN LISTS QBRX_CONTACT_LINES)
    qbrx_cxx_string(line "${line}")
    string(APPEND QBRX_CONTACT_LINES_CODE "QStringLiteral(\"${line}\"), ")
  endforeach()
  qbrx_cxx_string(QBRX_HOMEPAGE_CODE "${QBRX_HOMEPAGE}")
  qbrx_cxx_string(QBRX_FEEDBACK_PAGE_URL_CODE "${QBRX_FEEDBACK_PAGE_URL}")
  configure_file(${CMAKE_SOURCE_DIR}/src/mainwin/VendorConfig.h.in ${out} @ONLY)
endfunction()

qbrx_write_vendor_header(${CMAKE_BINARY_DIR}/generated/VendorConfig.h)
include_directories(${CMAKE_BINARY_DIR}/generated)
