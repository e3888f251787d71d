terraform {
  required_version = ">= 1.5"
}

provider "aws" {
  region = var.region
}

variable "region" {
  type    = string
  default = "eu-west-1"
}

resource "aws_s3_bucket" "logs" {
  bucket = "example-logs-bucket"
}

output "bucket_name" {
  value = aws_s3_bucket.logs.bucket
}
