FROM python:3.12-slim

ARG APP_USER=app
ENV PYTHONUNBUFFERED=1
WORKDIR /srv/app

COPY requirements.txt .
RUN pip install --no-cache-dir -r requirements.txt

COPY . .
EXPOSE 8000
USER ${APP_USER}
CMD ["gunicorn", "app:server", "--bind", "0.0.0.0:8000"]
