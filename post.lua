wrk.method = "POST"
wrk.body = ""
