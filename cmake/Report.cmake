# The report page in a real browser: a sample page of a year of simulated
# observations, loaded by headless Chromium through chromedriver, which
# checks that it renders without errors or script and takes screenshots.
add_executable(report_sample_page ${CMAKE_SOURCE_DIR}/tests/report/report_sample_page.cpp)
target_link_libraries(report_sample_page PRIVATE aerovane_core)
aerovane_warnings(report_sample_page)

set(REPORT_BROWSER_DIR ${CMAKE_BINARY_DIR}/report-browser)
add_test(NAME linux.ReportInBrowser
         COMMAND sh -c "mkdir -p '${REPORT_BROWSER_DIR}' && \
'$<TARGET_FILE:report_sample_page>' '${REPORT_BROWSER_DIR}/index.html' && \
/usr/bin/python3 '${CMAKE_SOURCE_DIR}/tests/linux/report_browser_test.py' \
'${REPORT_BROWSER_DIR}/index.html' --screenshots '${REPORT_BROWSER_DIR}'")
set_tests_properties(linux.ReportInBrowser PROPERTIES LABELS linux TIMEOUT 180)
