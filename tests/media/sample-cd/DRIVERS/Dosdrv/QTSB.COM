stand-in: DOS sound driver
