@echo off
rem Opens the Device Manager, where the hardware IDs of an unknown device
rem can be read and then looked up in Quarrow. The Device Manager exists
rem on Windows only.
start "" devmgmt.msc
