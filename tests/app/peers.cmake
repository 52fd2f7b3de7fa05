# The app against real peers: CUPS's IPP Everywhere suite through ipptool, a
# private CUPS daemon printing through a driverless queue, and Chromium
# through the web interface. Each script exits 77 (skipped) when its peer is
# not installed.
set(corvane_peers ${CMAKE_CURRENT_SOURCE_DIR})
set(corvane_sample ${PROJECT_SOURCE_DIR}/samples/sample.pdf)

# A network printer stand-in that keeps what it is sent.
add_executable(tcpSink ${corvane_peers}/tcpSink.cc)

add_test(NAME app.conformance
         COMMAND bash ${corvane_peers}/conformance.sh $<TARGET_FILE:corvane-printer-app>
                 ${corvane_sample} $<TARGET_FILE:pclinspect> $<TARGET_FILE:tcpSink>)
add_test(NAME app.cups-client
         COMMAND bash ${corvane_peers}/cups-client.sh $<TARGET_FILE:corvane-printer-app>
                 ${corvane_sample} $<TARGET_FILE:pclinspect>)
# npm installs playwright-core into the build folder, not the sources.
add_test(NAME app.web-ui
         COMMAND bash ${corvane_peers}/web-ui.sh $<TARGET_FILE:corvane-printer-app>
                 $<TARGET_FILE:pclinspect> ${CMAKE_BINARY_DIR}/tests/app-browser)
set_tests_properties(app.conformance app.cups-client app.web-ui PROPERTIES
                     LABELS app SKIP_RETURN_CODE 77 TIMEOUT 300)
